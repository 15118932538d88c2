#include "engine/base/unsaved_ad.h"

#include "platform/text1251.h"

namespace adw::engine {

using platform::Trim;

AdEditSnapshot TakeAdEditSnapshot(const AdForm& form, const RecordSet& fields) {
  AdEditSnapshot snapshot;
  snapshot.form = form;
  snapshot.values.reserve(fields.RecordCount());
  for (std::size_t row = 0; row < fields.RecordCount(); ++row)
    snapshot.values.push_back(fields.Value(row, "DATA"));
  return snapshot;
}

bool HasUnsavedChanges(const AdEditSnapshot& before, const AdForm& now, const RecordSet& fields) {
  if (Trim(before.form.subject) != Trim(now.subject) || Trim(before.form.category) != Trim(now.category) ||
      Trim(before.form.reportDir) != Trim(now.reportDir))
    return true;
  if (fields.RecordCount() != before.values.size()) return true;
  for (std::size_t row = 0; row < fields.RecordCount(); ++row) {
    if (fields.Value(row, "DATA") != before.values[row]) return true;
  }
  return false;
}

std::string MissingSubjectHint() {
  return platform::W("Объявление не сохранено: введите его тему");
}

std::string MissingCategoryHint() {
  return platform::W("Объявление не сохранено: выберите категорию кнопкой «…»");
}

}  // namespace adw::engine
