// The companion library the program loads at the start of every posting run.
// "LoadForm" takes the application object and "UnloadForm" the integer 1;
// neither returns anything the program reads. It only keeps count of the
// runs it was told about, so loading it can never disturb a run.
#include <atomic>

namespace {
std::atomic<int> g_openRuns{0};
}

extern "C" {

__attribute__((visibility("default"))) void LoadForm(void* /*application*/) {
  g_openRuns.fetch_add(1);
}

__attribute__((visibility("default"))) void UnloadForm(int /*how*/) {
  int n = g_openRuns.load();
  while (n > 0 && !g_openRuns.compare_exchange_weak(n, n - 1)) {
  }
}
}
