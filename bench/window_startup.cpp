// How long the main window takes from show() until it is on screen with a
// large script directory loaded: the board list of 10,000 board files and
// 2,000 ads in the grid must be shown in under half a second. Half and a
// quarter of that are measured too, to show that the time grows linearly
// with boards and ads.
//
//   window_startup [--runs N]
//
// The program needs the window library; it runs offscreen unless
// QT_QPA_PLATFORM names another platform.
#if __has_include(<QApplication>)

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "startup_script_dir.h"
#include "ui/shell/main_window.h"

namespace {

namespace fs = std::filesystem;

// A new modification time makes the profile layer parse the file again, as
// it must at program start.
void Touch(const std::string& path) {
  std::error_code ec;
  fs::last_write_time(path, fs::last_write_time(path, ec) + std::chrono::seconds(1), ec);
}

double ShownInMs(const std::string& dir, const std::string& settings, int boards, int ads) {
  Touch(dir + "/base.dat");
  Touch(dir + "/base.map");
  Touch(settings);
  QElapsedTimer timer;
  timer.start();
  adw::ui::TfrmMain window(settings);
  window.show();
  // The first paint after the load is part of being shown.
  QCoreApplication::processEvents();
  const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  if (window.CLBMain->count() != boards || window.RxMD.RecordCount() != static_cast<std::size_t>(ads)) {
    std::fprintf(stderr, "the window shows %d boards and %zu ads, not %d and %d\n", window.CLBMain->count(),
                 window.RxMD.RecordCount(), boards, ads);
    std::exit(1);
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int runs = 5;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  QApplication app(argc, argv);
  const std::string root =
      adw::platform::TempDirectory() + "adweld-bench-window-" + std::to_string(::getpid());
  double full = 0;
  for (const auto& [boards, ads] :
       std::vector<std::pair<int, int>>{{2500, 500}, {5000, 1000}, {10000, 2000}}) {
    const std::string dir = root + "/" + std::to_string(boards);
    fs::create_directories(dir);
    adw::bench::WriteScriptDir(dir, boards, ads);
    const std::string settings = dir + ".ini";
    adw::bench::WriteFile(settings, "[Save]\r\ndeScript_Text=" + dir + "\r\n");
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) times.push_back(ShownInMs(dir, settings, boards, ads));
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%5d boards, %4d ads: shown in %.0f ms (median of %d; %.1f us per board and ad)\n", boards,
                ads, median, runs, median * 1000.0 / (boards + ads));
    std::fflush(stdout);
    full = median;
  }
  std::error_code ec;
  fs::remove_all(root, ec);
  std::printf("window with 10000 boards and 2000 ads shown in %.0f ms\n", full);
  return 0;
}

#else
#include <cstdio>
int main() {
  std::puts("window_startup needs the window library");
  return 0;
}
#endif
