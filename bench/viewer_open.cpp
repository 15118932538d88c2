// How long the add-board wizard's page viewer takes to open a large board
// page: a page of about 5 MB with 2,000 form controls, from LoadFromFile to
// the first screenful painted with its controls in place. The viewer must
// open it in under 2 seconds.
//
//   viewer_open [--runs N] [--page FILE] [--shot FILE.png]
//
// Without --page the page is generated. --shot saves what the viewer shows.
// The program needs the window library; it runs offscreen unless
// QT_QPA_PLATFORM names another platform.
#if __has_include(<QApplication>)

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/wizard/html/html_document.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "ui/wizard/html_viewer.h"

namespace {

using adw::platform::W;

constexpr int kControls = 2000;
constexpr std::size_t kPageBytes = 5 * 1024 * 1024;

// A board-like page: blocks of prose in paragraphs, lists and tables, each
// block ending in a labelled form control of one of the kinds a board uses.
std::string MakePage() {
  const std::vector<std::string> words = {
      W("продам"),   W("куплю"), W("недорого"), W("срочно"),  W("ноутбук"), W("монитор"), W("состояние"),
      W("отличное"), "board",    "price",       W("телефон"), W("звонить"), W("вечером")};
  std::string page =
      "<html><head><title>" + W("Доска") + "</title></head><body><h1>" + W("Барахолка") + "</h1>";
  unsigned seed = 12345;
  const auto word = [&] {
    seed = seed * 1103515245u + 12345u;
    return words[(seed >> 16) % words.size()];
  };
  const auto prose = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += word() + (i % 13 == 12 ? ". " : " ");
    return text;
  };
  const std::size_t perBlock = kPageBytes / kControls;
  for (int n = 0; n < kControls; ++n) {
    const std::size_t start = page.size();
    if (n % 100 == 0) page += "<form method=\"post\" action=\"add" + std::to_string(n / 100) + ".cgi\">";
    page += "<h3>" + W("Объявление ") + std::to_string(n) + "</h3><p>" + prose(60) + "</p><ul><li>" +
            prose(12) + "</li><li><a href=\"item" + std::to_string(n) + ".html\">" + prose(4) +
            "</a></li></ul>";
    page += "<table border=1><tr><th>" + W("Поле") + "</th><td>";
    const std::string name = "f" + std::to_string(n);
    switch (n % 7) {
      case 0:
        page += "<input type=\"text\" name=\"" + name + "\" size=\"30\" value=\"$TEXT\">";
        break;
      case 1:
        page += "<select name=\"" + name + "\">";
        for (int o = 0; o < 10; ++o) page += "<option value=\"" + std::to_string(o) + "\">" + prose(2);
        page += "</select>";
        break;
      case 2:
        page += "<textarea name=\"" + name + "\" rows=4 cols=40>" + prose(20) + "</textarea>";
        break;
      case 3:
        page += "<input type=\"checkbox\" name=\"" + name + "\" value=\"1\">";
        break;
      case 4:
        page += "<input type=\"radio\" name=\"r" + std::to_string(n / 100) + "\" value=\"" + name + "\">";
        break;
      case 5:
        page += "<input type=\"password\" name=\"" + name + "\">";
        break;
      default:
        page += "<input type=\"submit\" name=\"" + name + "\" value=\"" + W("Отправить") + "\">";
        break;
    }
    page += "</td><td>" + prose(10) + "</td></tr></table>";
    if (n % 100 == 99) page += "</form>";
    while (page.size() - start < perBlock) page += "<p>" + prose(40) + "</p>";
  }
  page += "</body></html>";
  return page;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int runs = 5;
  std::string pagePath;
  QString shot;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    if (option == "--page") pagePath = argv[i + 1];
    if (option == "--shot") shot = QString::fromLocal8Bit(argv[i + 1]);
  }
  if (pagePath.empty()) {
    pagePath = adw::platform::TempDirectory() + "viewer_open_bench.html";
    if (!adw::platform::WriteFileAtomic(pagePath, MakePage())) {
      std::fprintf(stderr, "cannot write %s\n", pagePath.c_str());
      return 1;
    }
  }
  const auto bytes = adw::platform::ReadWholeFile(pagePath);
  std::size_t controls = 0;
  {
    const auto doc = adw::engine::THtmlDocument::LoadFromFile(pagePath);
    for (const auto& form : doc->Forms()) controls += form->Controls().size();
  }
  std::printf("page: %s, %.2f MB, %zu form controls\n", pagePath.c_str(),
              bytes ? bytes->size() / (1024.0 * 1024.0) : 0.0, controls);

  std::vector<double> parse;
  std::vector<double> open;
  std::vector<double> scroll;
  std::vector<double> relayout;
  std::size_t widgets = 0;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer clock;
    clock.start();
    { const auto doc = adw::engine::THtmlDocument::LoadFromFile(pagePath); }
    parse.push_back(clock.nsecsElapsed() / 1e6);

    adw::ui::THTMLViewer viewer;
    viewer.resize(1000, 700);
    viewer.show();
    QApplication::processEvents();
    clock.restart();
    viewer.LoadFromFile(pagePath);
    viewer.viewport()->repaint();
    QApplication::processEvents();
    open.push_back(clock.nsecsElapsed() / 1e6);
    widgets = viewer.WidgetCount();

    // A narrower window lays the whole page out again.
    clock.restart();
    viewer.resize(800, 700);
    viewer.viewport()->repaint();
    relayout.push_back(clock.nsecsElapsed() / 1e6);

    // Paging through the whole page: every control's widget gets made.
    clock.restart();
    QScrollBar* bar = viewer.verticalScrollBar();
    for (int y = 0; y <= bar->maximum(); y += bar->pageStep()) {
      bar->setValue(y);
      viewer.viewport()->repaint();
    }
    scroll.push_back(clock.nsecsElapsed() / 1e6);
    if (run == runs - 1) {
      std::printf("widgets after opening: %zu, after paging through: %zu, page %d x %d px\n", widgets,
                  viewer.WidgetCount(), viewer.DocumentSize().width(), viewer.DocumentSize().height());
      if (!shot.isEmpty()) {
        bar->setValue(0);
        QApplication::processEvents();
        viewer.grab().save(shot);
      }
    }
  }
  std::printf("parse only:          median %8.1f ms, best %8.1f ms\n", Median(parse),
              *std::min_element(parse.begin(), parse.end()));
  std::printf("open (load + paint): median %8.1f ms, best %8.1f ms  (limit 2000 ms)\n", Median(open),
              *std::min_element(open.begin(), open.end()));
  std::printf("new width, relayout: median %8.1f ms\n", Median(relayout));
  std::printf("page through all:    median %8.1f ms\n", Median(scroll));
  return Median(open) < 2000 ? 0 : 2;
}

#else

#include <cstdio>

// Built without the window library: there is no viewer to measure.
int main() {
  std::puts("viewer_open needs the window library (link adweld_ui)");
  return 0;
}

#endif
