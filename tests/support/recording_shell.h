#pragma once
// A shell for window tests: remembers what the program asked to open and
// what it put on the clipboard, and opens nothing.
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell.h"

namespace adw::test {

class RecordingShell : public platform::IShell {
 public:
  void Open(std::string_view target) override { opened.emplace_back(target); }
  bool TryOpen(std::string_view target) override {
    Open(target);
    return opens;
  }
  void SetClipboardText(std::string_view text) override { clipboard = text; }
  std::vector<std::string> opened;
  std::string clipboard;
  bool opens = true;  // whether a program "could be started"
};

}  // namespace adw::test
