#pragma once
// The one pair of conversions between the engine's Windows-1251 text and the
// windows' QString, used wherever a window reads or fills a control.
#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text1251.h"

namespace adw::ui {

inline QString ToQ(std::string_view cp1251) {
  return QString::fromStdString(adw::platform::Cp1251ToUtf8(cp1251));
}

inline std::string FromQ(const QString& text) {
  return adw::platform::Utf8ToCp1251(text.toStdString());
}

// The same, noting each character that Windows-1251 lacks (it became "?").
inline std::string FromQ(const QString& text, std::vector<char32_t>& replaced) {
  return adw::platform::Utf8ToCp1251(text.toStdString(), replaced);
}

}  // namespace adw::ui
