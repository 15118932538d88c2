#pragma once
// What counts as unsaved in the ad editor: the boxes and the field values
// as they stand, against what New or Open put there.
#include <string>
#include <vector>

#include "engine/base/ad_editor.h"
#include "engine/base/record_set.h"

namespace adw::engine {

struct AdEditSnapshot {
  AdForm form;
  std::vector<std::string> values;  // DATA of every field, in order
};

AdEditSnapshot TakeAdEditSnapshot(const AdForm& form, const RecordSet& fields);

// True when leaving the editor now would lose something the user typed or
// chose: a box or a field value differs from the snapshot (blanks around a
// box's text do not count; Save trims them too), or a field was added.
bool HasUnsavedChanges(const AdEditSnapshot& before, const AdForm& now, const RecordSet& fields);

// The status bar hints of a save that cannot store the ad (cp1251).
std::string MissingSubjectHint();
std::string MissingCategoryHint();

}  // namespace adw::engine
