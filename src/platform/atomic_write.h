#pragma once
// The program's whole-file writes, told apart by how they failed, and the
// clean-up of temporaries that an earlier process left behind.
//
// Each write goes through a hidden temporary beside the target,
// ".NAME.tmpPID_N", renamed over the target when complete. A process killed
// in between leaves that file; the first write of a later process into the
// same directory removes such leftovers of processes that no longer run.
#include <string>
#include <string_view>

namespace adw::platform {

struct WriteOutcome {
  enum class Step {
    None,   // written
    Open,   // the file could not be created (missing directory, no rights)
    Write,  // created, but the bytes could not all be stored (full disk)
  };
  Step failed = Step::None;
  int error = 0;  // the system's error number of the failing call
  explicit operator bool() const { return failed == Step::None; }
};

// WriteFileAtomic (flush) or WriteFileWhole (no flush) with the step that
// failed and the system's error.
WriteOutcome WriteFileAtomicChecked(const std::string& path, std::string_view bytes, bool flush = true);

// The system's text for an error number ("No space left on device").
std::string SystemErrorText(int error);

// Removes the temporaries of this program's atomic writes in dir whose
// process no longer runs. Returns how many were removed. The writes call it
// themselves, once per directory and process.
int RemoveStaleTemporaries(const std::string& dir);

// True for a name of the temporaries' pattern; pid receives its process id.
bool IsAtomicWriteTemporary(std::string_view name, long& pid);

}  // namespace adw::platform
