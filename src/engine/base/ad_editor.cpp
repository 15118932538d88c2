#include "engine/base/ad_editor.h"

#include "engine/base/ad_store.h"
#include "engine/base/unsaved_ad.h"
#include "engine/base/variables_map.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::engine {

using platform::EqualsNoCase;
using platform::Trim;
using platform::W;

namespace {

// The caption of the list named `variab`: the description of the "Variab"
// entry whose list part (the entry from its first "$" on) is that name.
// Matching the whole list part, not any text that merely contains the
// name, keeps "$comp" from picking up an earlier "...$computers" entry.
std::string ListCaption(const platform::IniDocument& map, const std::string& variab) {
  for (const std::string& entry : ReadNumberedList(map, kVariablesSection)) {
    const std::size_t dollar = entry.find('$');
    if (dollar != std::string::npos && EqualsNoCase(std::string_view(entry).substr(dollar), variab)) {
      return entry.substr(0, dollar);
    }
  }
  return {};
}

// A subject becomes a section name: "]" would end it early and a control
// character (a line break above all) would split the section header.
bool IsValidSubject(std::string_view subject) {
  if (subject.size() > kNameSize) return false;
  for (char c : subject) {
    if (c == ']' || static_cast<unsigned char>(c) < 32) return false;
  }
  return true;
}

}  // namespace

AdForm NewAd(AdEditorState& state, const RecordSet& variables, RecordSet& fields, bool useTemplate,
             const std::string& programDir) {
  state = AdEditorState{};
  fields.Clear();
  for (std::size_t row = 0; row < variables.RecordCount(); ++row) {
    const std::size_t copy = fields.Append();
    for (const char* name : {"ID", "NAME", "DESC"}) fields.SetValue(copy, name, variables.Value(row, name));
    fields.SetValue(copy, "DATA", useTemplate ? variables.Value(row, "DATA") : std::string());
  }
  fields.First();
  return AdForm{{}, {}, platform::JoinPath(programDir, "Reports")};
}

std::optional<AdForm> OpenAd(AdEditorState& state, const RecordSet& ads, RecordSet& fields,
                             const std::string& storePath, const std::string& mapPath) {
  if (ads.IsEmpty()) return std::nullopt;
  const platform::IniDocument store = platform::IniFile(storePath).Snapshot();
  const platform::IniDocument map = platform::IniFile(mapPath).Snapshot();

  state = AdEditorState{};
  state.EditingExisting = true;
  state.OldName = ads.CurrentValue("NAME");
  fields.Clear();

  AdForm form;
  form.subject = state.OldName;
  form.reportDir = store.ReadString(state.OldName, kReportDirKey, "");

  const std::string& variab = ads.CurrentValue("VARIAB");
  const std::string& item = ads.CurrentValue("ITEM");
  if (!variab.empty()) {
    const std::string caption = ListCaption(map, variab);
    form.category = item.empty() ? caption : item + " (" + caption + ")";
  }

  for (const std::string& entry : ReadNumberedList(map, kVariablesSection)) {
    const MapEntry e = SplitMapEntry(entry);
    if (IsCategoryList(map, e.name)) continue;
    const std::size_t row = fields.Append();
    fields.SetValue(row, "DESC", e.description);
    fields.SetValue(row, "NAME", e.name);
    fields.SetValue(row, "DATA", store.ReadString(state.OldName, e.description + e.name, ""));
  }
  fields.First();
  return form;
}

std::string ConfirmCategory(AdEditorState& state, const ChosenCategory& choice) {
  state.chosenCategory = choice;
  return CategoryBoxText(choice);
}

SaveAdResult SaveAd(AdEditorState& state, const AdForm& form, RecordSet& ads, const RecordSet& fields,
                    const std::string& storePath) {
  // Blanks around a section name do not survive a reload, so the ad is
  // stored and listed under the trimmed subject from the start.
  const std::string subject = Trim(form.subject);
  // An ad without subject or category cannot be stored; the user is told
  // which is missing and keeps what was typed.
  if (subject.empty()) return {SaveAdOutcome::Refused, MissingSubjectHint()};
  if (Trim(form.category).empty()) return {SaveAdOutcome::Refused, MissingCategoryHint()};
  if (!IsValidSubject(subject)) return {SaveAdOutcome::Refused, BadSubjectHint()};

  platform::IniFile file(storePath);
  platform::IniDocument store = file.Snapshot();
  const std::string oldName = Trim(state.OldName);
  const bool hasOld = state.EditingExisting && store.HasSection(oldName);
  for (const std::string& section : store.SectionNames()) {
    const std::string existing = Trim(section);
    if (EqualsNoCase(existing, subject) && !(hasOld && EqualsNoCase(existing, oldName))) {
      return {SaveAdOutcome::Refused, DuplicateSubjectHint()};
    }
  }

  const bool editRecord = state.EditingExisting && !ads.IsEmpty();
  StoredAd ad;
  ad.subject = subject;
  ad.reportDir = Trim(form.reportDir);
  if (state.chosenCategory) {
    ad.category = CategoryValue(*state.chosenCategory);
  } else if (hasOld) {
    // Not chosen anew: the stored category stays exactly as it was.
    ad.category = store.ReadString(oldName, kCategoryKey, "");
  } else if (editRecord) {
    ad.category = ComposeCategoryValue({ads.CurrentValue("VARIAB"), ads.CurrentValue("ITEM")});
  }

  for (std::size_t row = 0; row < fields.RecordCount(); ++row) {
    std::string key = fields.Value(row, "DESC") + fields.Value(row, "NAME");
    // A row the user added below the last field has no key anyone reads.
    if (Trim(key).empty()) continue;
    std::string value = fields.Value(row, "DATA");
    if (hasOld) {
      // A stored value longer than the grid holds was shown cut; unless the
      // user changed it, keep it whole.
      std::string stored = store.ReadString(oldName, key, "");
      if (stored.size() > kFieldDataSize && value == std::string_view(stored).substr(0, kFieldDataSize)) {
        value = std::move(stored);
      }
    }
    ad.fields.emplace_back(std::move(key), std::move(value));
  }

  if (hasOld) store.EraseSection(oldName);
  WriteAd(store, ad);
  file.Store(store);

  const std::size_t row = editRecord ? ads.Current() : ads.Append();
  if (!editRecord) ads.SetValue(row, "STAT", "0");
  const AdCategory category = DeriveAdCategory(ad.category);
  ads.SetValue(row, "NAME", subject);
  ads.SetValue(row, "VARIAB", category.variab);
  ads.SetValue(row, "ITEM", category.item);
  ads.SetValue(row, "CATALOG", ad.reportDir);
  state = AdEditorState{};
  return {SaveAdOutcome::Saved, {}};
}

bool DeleteAd(RecordSet& ads, const std::string& storePath) {
  if (ads.IsEmpty()) return false;
  const std::string name = ads.CurrentValue("NAME");
  platform::IniFile file(storePath);
  platform::IniDocument store = file.Snapshot();
  if (store.HasSection(name)) {
    store.EraseSection(name);
    file.Store(store);
  }
  ads.Remove(ads.Current());
  return true;
}

void ToggleCurrentTick(RecordSet& ads) {
  if (ads.IsEmpty()) return;
  const std::string& stat = ads.CurrentValue("STAT");
  ads.SetCurrentValue("STAT", stat.empty() || stat == "0" ? "1" : "0");
}

std::string DuplicateSubjectHint() {
  return W("Объявление с такой темой уже есть: измените тему");
}

std::string BadSubjectHint() {
  return W("Тема объявления должна быть не длиннее 50 знаков и без символа \"]\"");
}

}  // namespace adw::engine
