// The small services: shell, companion library, main-thread calls.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/companion_library.h"
#include "platform/main_thread.h"
#include "platform/shell.h"

namespace adw::platform {
namespace {

class RecordingShell : public IShell {
 public:
  void Open(std::string_view target) override { opened.emplace_back(target); }
  void SetClipboardText(std::string_view text) override { clipboard = text; }
  std::vector<std::string> opened;
  std::string clipboard;
};

TEST(ShellService, DoesNothingUntilSetAndAfterReset) {
  Shell().Open("http://127.0.0.1/");  // the default shell must be harmless
  RecordingShell recorder;
  SetShell(&recorder);
  Shell().Open("mailto:a@b");
  Shell().SetClipboardText("text");
  SetShell(nullptr);
  Shell().Open("ignored");
  EXPECT_EQ(recorder.opened, (std::vector<std::string>{"mailto:a@b"}));
  EXPECT_EQ(recorder.clipboard, "text");
}

TEST(Companion, LoadsBesideTheProgramAndReleasesOnce) {
  CompanionLibrary lib;
  ASSERT_TRUE(lib.Load()) << "libbanrun.so expected at " << CompanionLibrary::DefaultPath()
                          << " (build the banrun target)";
  EXPECT_TRUE(lib.HasLoadForm());
  EXPECT_TRUE(lib.HasUnloadForm());
  int application = 0;
  lib.CallLoadForm(&application);
  lib.CallUnloadForm(1);
  lib.Release();
  lib.Release();
  EXPECT_FALSE(lib.IsLoaded());
  lib.CallLoadForm(nullptr);  // forgotten exports: no call
}

TEST(Companion, MissingLibraryIsNotLoaded) {
  CompanionLibrary lib;
  EXPECT_FALSE(lib.Load("/nonexistent/libbanrun.so"));
  EXPECT_FALSE(lib.IsLoaded());
  EXPECT_FALSE(lib.HasLoadForm());
  lib.CallUnloadForm(1);
}

TEST(MainThreadQueue, WorkersBlockUntilTheOwnerRanTheirCalls) {
  QueueMainThread main;
  const auto mainId = std::this_thread::get_id();
  constexpr int kWorkers = 4, kCalls = 50;
  std::atomic<int> returned{0};
  int ranOnMain = 0;  // touched by the main thread only
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < kCalls; ++i) {
        bool ran = false;
        main.CallBlocking([&] {
          if (std::this_thread::get_id() == mainId) ++ranOnMain;
          ran = true;
        });
        EXPECT_TRUE(ran);  // CallBlocking returned only after the call
        returned.fetch_add(1);
      }
    });
  }
  int total = 0;
  while (total < kWorkers * kCalls) total += main.WaitAndRun(1000);
  for (auto& t : workers) t.join();
  EXPECT_EQ(ranOnMain, kWorkers * kCalls);
  EXPECT_EQ(returned.load(), kWorkers * kCalls);
}

TEST(MainThreadQueue, OwnThreadRunsAtOnceAndErrorsReachTheCaller) {
  QueueMainThread main;
  bool ran = false;
  main.CallBlocking([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(main.RunPending(), 0);
  EXPECT_EQ(main.WaitAndRun(0), 0);

  std::string caught;
  std::thread worker([&] {
    try {
      main.CallBlocking([] { throw std::runtime_error("handler failed"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
  });
  while (main.WaitAndRun(1000) == 0) {
  }
  worker.join();
  EXPECT_EQ(caught, "handler failed");
}

}  // namespace
}  // namespace adw::platform
