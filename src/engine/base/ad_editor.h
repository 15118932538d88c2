#pragma once
// The ad editor's commands as engine operations over the main window's
// record sets and the ad store. The window reads its boxes into an AdForm,
// calls these, and shows what they return; it keeps one AdEditorState for
// the edit in progress.
//
// All texts are cp1251. Paths: storePath is the script directory box's
// current text joined with "base.dat" (AdStorePath); mapPath is the stored
// script directory's "base.map" (VariablesMapPath).
#include <optional>
#include <string>

#include "engine/base/category_tree.h"
#include "engine/base/record_set.h"

namespace adw::engine {

// The contents of the editor panel's boxes.
struct AdForm {
  std::string subject;    // EdTema
  std::string category;   // cbCateg (display text only)
  std::string reportDir;  // deRepCat
};

struct AdEditorState {
  bool EditingExisting = false;
  std::string OldName;
  // The category the user confirmed in the chooser during this edit. A
  // later "Отмена" keeps it, so what Save stores always matches the box.
  std::optional<ChosenCategory> chosenCategory;
};

// New: resets the state, fills `fields` with copies of every variable
// (values kept only when useTemplate, i.e. "использовать переменные" is
// ticked) and returns the boxes: empty subject and category, report
// directory = programDir followed by "Reports".
AdForm NewAd(AdEditorState& state, const RecordSet& variables, RecordSet& fields, bool useTemplate,
             const std::string& programDir);

// Open: nullopt (and nothing touched) when there is no ad. Otherwise the
// current ad of `ads` is loaded into the state, `fields` and the returned
// boxes.
std::optional<AdForm> OpenAd(AdEditorState& state, const RecordSet& ads, RecordSet& fields,
                             const std::string& storePath, const std::string& mapPath);

// The chooser was closed with "Выбрать" and a node selected: remember the
// choice for Save and return the category box's new text.
std::string ConfirmCategory(AdEditorState& state, const ChosenCategory& choice);

enum class SaveAdOutcome {
  Saved,    // written; back to the projects panel
  Refused,  // nothing written (no subject, no category, a duplicate or a
            // bad subject); show `hint` in the status bar and keep the
            // editor open so the user can correct it
};

struct SaveAdResult {
  SaveAdOutcome outcome = SaveAdOutcome::Refused;
  std::string hint;  // cp1251, set for Refused
};

// Save in vmEditor. The ad is written in one atomic rewrite of the store:
// its section (OldName when editing) is erased and written anew at the end.
// The record of `ads` (the current one when editing, a new last one
// otherwise) is updated only after the write succeeded. A refused write
// throws platform::ProfileWriteError and changes nothing.
SaveAdResult SaveAd(AdEditorState& state, const AdForm& form, RecordSet& ads, const RecordSet& fields,
                    const std::string& storePath);

// Delete: erases the current ad's section and removes its record; false
// (nothing done) when there is no ad. No question is asked.
bool DeleteAd(RecordSet& ads, const std::string& storePath);

// Flips the current ad's posting tick (STAT 0 <-> 1); nothing on an empty set.
void ToggleCurrentTick(RecordSet& ads);

// Only the value column of the fields and variables grids can be edited.
inline bool IsEditableColumn(const std::string& fieldName) {
  return fieldName == "DATA";
}

// Status bar hints of a refused save.
std::string DuplicateSubjectHint();
std::string BadSubjectHint();

}  // namespace adw::engine
