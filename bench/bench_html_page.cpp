// The wizard's page model: a 5 MB board page with 2,000 form controls
// parsed into the viewer's document (the viewer lays it out on top of this),
// and the field tree of a form with many list options at two sizes, which
// must grow linearly.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/wizard/board_text.h"
#include "engine/wizard/field_tree.h"
#include "engine/wizard/html/html_document.h"
#include "platform/text1251.h"

namespace {

using namespace adw::engine;

std::string Control(int i) {
  const std::string n = std::to_string(i);
  switch (i % 7) {
    case 0:
      return "<input type=\"text\" name=\"t" + n + "\" value=\"$TEXT\" size=40 maxlength=200>";
    case 1:
      return "<select name=\"s" + n +
             "\"><option value=\"1\">One</option><option value=\"2\" selected>Two</option>"
             "<option value=\"3\">Three</option><option value=\"4\">Four</option></select>";
    case 2:
      return "<input type=\"radio\" name=\"r" + std::to_string(i / 14) + "\" value=\"" + n + "\">choice " + n;
    case 3:
      return "<input type=\"checkbox\" name=\"c" + n + "\" value=\"1\" checked>tick";
    case 4:
      return "<textarea name=\"a" + n + "\" rows=4 cols=50>line one\nline two</textarea>";
    case 5:
      return "<input type=\"hidden\" name=\"h" + n + "\" value=\"" + n + "\">";
    default:
      return "<input type=\"submit\" name=\"go" + n + "\" value=\"Send\">";
  }
}

// About 5 MB: 2,000 table rows, each with a control and a paragraph of
// ordinary text, links, entities and Russian words; a form every 100 rows.
const std::string& BigPage() {
  static const std::string page = [] {
    const std::string filler = adw::platform::W(
        "Продам ноутбук в хорошем состоянии, недорого. Звоните вечером &nbsp;&mdash; торг уместен. "
        "<a href=\"/board/item.cgi?id=17&amp;cat=3\">Подробнее</a> <i>и ещё</i> немного текста для "
        "объёма страницы. ");
    std::string p = "<html><head><title>Board</title><base href=\"http://board.example/\"></head><body>";
    for (int i = 0; i < 2000; ++i) {
      if (i % 100 == 0) p += "<form action=\"add.cgi\" method=\"post\"><table border=1 width=100%>";
      p += "<tr><td><b>Field " + std::to_string(i) + "</b></td><td>" + Control(i) + "</td></tr>";
      p += "<tr><td colspan=2><p>";
      while (p.size() < static_cast<std::size_t>(i + 1) * 2600) p += filler;
      p += "</p></td></tr>";
      if (i % 100 == 99) p += "</table></form>";
    }
    p += "</body></html>";
    return p;
  }();
  return page;
}

void BM_ParsePage5MB(benchmark::State& state) {
  const std::string& page = BigPage();
  std::size_t controls = 0;
  for (auto _ : state) {
    auto doc = THtmlDocument::Parse(page);
    controls = 0;
    for (const auto& form : doc->Forms()) controls += form->Controls().size();
    benchmark::DoNotOptimize(doc);
  }
  state.counters["MB"] = static_cast<double>(page.size()) / 1e6;
  state.counters["controls"] = static_cast<double>(controls);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ParsePage5MB)->Unit(benchmark::kMillisecond);

void BM_PreparePage5MB(benchmark::State& state) {
  const std::string& page = BigPage();
  for (auto _ : state) benchmark::DoNotOptimize(PreparePageText(page, 1));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PreparePage5MB)->Unit(benchmark::kMillisecond);

// A form with n options in lists of 50, and a radio group and check box
// for every 10 options.
std::string OptionsPage(int n) {
  std::string p = "<html><form action=\"search.cgi\"></form>\r\n<form action=\"add.cgi\">\r\n";
  for (int i = 0; i < n; ++i) {
    if (i % 50 == 0) p += "<select name=\"list" + std::to_string(i / 50) + "\">\r\n";
    p += "<option value=\"" + std::to_string(i) + "\">Category " + std::to_string(i) + "</option>\r\n";
    if (i % 50 == 49 || i == n - 1) p += "</select>\r\n";
  }
  for (int i = 0; i < n / 10; ++i) {
    p += "<input type=\"radio\" name=\"period" + std::to_string(i / 5) + "\" value=\"" + std::to_string(i) +
         "\">days <input type=\"checkbox\" name=\"c" + std::to_string(i) + "\" value=\"1\">photo\r\n";
  }
  return p + "<input type=\"submit\" value=\"OK\"></form></html>";
}

void BM_FieldTree(benchmark::State& state) {
  const std::string page = OptionsPage(static_cast<int>(state.range(0)));
  TFieldTree tree;
  for (auto _ : state) {
    tree.Build(page, 2);
    for (std::size_t i = 0; i < tree.Nodes().size(); i += 2) tree.Bind(i, "X", "$x");
    benchmark::DoNotOptimize(tree.BindingLines());
  }
  state.counters["nodes"] = static_cast<double>(tree.Nodes().size());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FieldTree)->Arg(1000)->Arg(8000)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);

}  // namespace
