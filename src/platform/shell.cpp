#include "platform/shell.h"

#include <atomic>

namespace adw::platform {

namespace {

// Until the program installs the desktop's shell, opening and copying do
// nothing, as the program ignores their results anyway.
class NullShell : public IShell {
 public:
  void Open(std::string_view) override {}
  void SetClipboardText(std::string_view) override {}
};

NullShell g_nullShell;
std::atomic<IShell*> g_shell{&g_nullShell};

}  // namespace

IShell& Shell() {
  return *g_shell.load(std::memory_order_acquire);
}

void SetShell(IShell* shell) {
  g_shell.store(shell ? shell : &g_nullShell, std::memory_order_release);
}

}  // namespace adw::platform
