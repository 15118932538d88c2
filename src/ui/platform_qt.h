#pragma once
// The platform services that need the window framework: the shell's "open"
// verb and the clipboard, and the blocking call into the main thread.
#include <QObject>

#include "platform/main_thread.h"
#include "platform/shell.h"

namespace adw::ui {

// Opens web pages, "mailto:" links and files with the desktop's programs.
class QtShell : public adw::platform::IShell {
 public:
  void Open(std::string_view target) override;
  bool TryOpen(std::string_view target) override;
  void SetClipboardText(std::string_view cp1251) override;

  // What Open hands to the desktop; exposed so the translation of the
  // program's targets (cp1251 text, "file:" prefixes, bare paths) is
  // testable without starting a browser.
  static QString TargetToUrlText(std::string_view target);
};

// Runs a worker's call on the thread that owns the application object and
// blocks the worker until it has run; on that thread itself it runs at once.
class QtMainThread : public adw::platform::IMainThread {
 public:
  void CallBlocking(const std::function<void()>& fn) override;
};

}  // namespace adw::ui
