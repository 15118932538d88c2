#include "engine/base/ad_store.h"

#include <optional>

#include "engine/base/variables_map.h"
#include "platform/files.h"

namespace adw::engine {

std::string AdStorePath(std::string_view scriptDir) {
  return platform::JoinPath(scriptDir, kAdStoreFileName);
}

AdCategory DeriveAdCategory(std::string_view categoryValue) {
  const std::size_t dollar = categoryValue.find('$');
  if (dollar == std::string_view::npos || dollar == 0) return {std::string(categoryValue), {}};
  return {std::string(categoryValue.substr(dollar)), std::string(categoryValue.substr(0, dollar))};
}

std::string ComposeCategoryValue(const AdCategory& category) {
  return category.item + category.variab;
}

void LoadAds(const std::string& storePath, RecordSet& ads) {
  // Parsed straight from the file: a snapshot of the profile cache would
  // copy the whole parsed store once more, a quarter of the load time of a
  // large store.
  const std::optional<std::string> text = platform::ReadWholeFile(storePath);
  const platform::IniDocument store = text ? platform::IniDocument::Parse(*text) : platform::IniDocument();
  // Filled apart and put in place at once: a view of the set then lays
  // itself out once for the whole store, not once for every ad.
  RecordSet loaded(ads.Fields());
  for (const std::string& subject : store.SectionNames()) {
    const AdCategory category = DeriveAdCategory(store.ReadString(subject, kCategoryKey, ""));
    const std::size_t row = loaded.Append();
    loaded.SetValue(row, "NAME", subject);
    loaded.SetValue(row, "VARIAB", category.variab);
    loaded.SetValue(row, "ITEM", category.item);
    loaded.SetValue(row, "CATALOG", store.ReadString(subject, kReportDirKey, ""));
    loaded.SetValue(row, "STAT", "0");
  }
  loaded.First();
  ads = std::move(loaded);
}

void WriteAd(platform::IniDocument& store, const StoredAd& ad) {
  for (const auto& [key, value] : ad.fields) store.WriteString(ad.subject, key, SingleLine(value));
  store.WriteString(ad.subject, kCategoryKey, SingleLine(ad.category));
  store.WriteString(ad.subject, kReportDirKey, SingleLine(ad.reportDir));
}

}  // namespace adw::engine
