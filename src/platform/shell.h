#pragma once
// The shell's "open" verb (web pages, "mailto:" links, files) and the
// clipboard. The program installs an implementation over the desktop; tests
// install a recorder. Results of the calls are ignored by the program.
#include <string>
#include <string_view>

namespace adw::platform {

class IShell {
 public:
  virtual ~IShell() = default;
  // Opens a URL, a "mailto:" address or a file path with the user's program.
  virtual void Open(std::string_view target) = 0;
  // The same, telling whether a program could be started for it.
  virtual bool TryOpen(std::string_view target) {
    Open(target);
    return true;
  }
  // Puts cp1251 text on the clipboard.
  virtual void SetClipboardText(std::string_view cp1251) = 0;
};

// The shell the program uses; never null (a do-nothing one until set).
IShell& Shell();
void SetShell(IShell* shell);  // nullptr restores the do-nothing shell

}  // namespace adw::platform
