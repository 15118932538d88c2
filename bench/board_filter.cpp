// The board list with 10,000 boards as a user meets it: the rows shown at
// start, then a filter typed one key at a time. Each keystroke must cost
// well under 50 ms. The peer is the filter Qt itself offers, a
// QSortFilterProxyModel over a list model in a QListView, fed the same
// names and the same keystrokes (case-insensitive substring, as ours).
//
// Run: QT_QPA_PLATFORM=offscreen build/bin/board_filter [rows]
#include <QApplication>
#include <QListView>
#include <QListWidget>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/base/board_list.h"
#include "platform/text1251.h"
#include "ui/base/board_list_widget.h"
#include "ui/text_convert.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

const char* const kCities[] = {"Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург",
                               "Казань", "Нижний Новгород", "Челябинск",   "Самара",
                               "Омск",   "Ростов-на-Дону"};

std::vector<adw::engine::BoardRow> Rows(int count) {
  std::vector<adw::engine::BoardRow> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (int n = 0; n < count; ++n) {
    const std::string name = adw::platform::W("Доска объявлений г. ") + adw::platform::W(kCities[n % 10]) +
                             " " + std::to_string(n);
    rows.push_back({name, n % 5 == 0, "board" + std::to_string(n) + ".prj"});
  }
  std::sort(rows.begin(), rows.end(),
            [](const auto& a, const auto& b) { return adw::engine::BoardNameLess(a.name, b.name); });
  return rows;
}

struct Figures {
  double fill = 0;
  double filterOnly = 0;  // the filter's own work, before the list lays out
  double worst = 0;
  double total = 0;
  int shownAtEnd = 0;
};

void Report(const char* who, const Figures& f, int keys) {
  std::printf(
      "%-28s fill %8.1f ms   per key: mean %6.2f ms (filter alone %5.2f), worst %6.2f ms   rows left %d\n",
      who, f.fill, f.total / keys, f.filterOnly / keys, f.worst, f.shownAtEnd);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const std::vector<adw::engine::BoardRow> rows = Rows(count);
  // Typed, then taken back, as someone who mistyped does.
  const QString typed = QStringLiteral("москва 12");
  std::vector<QString> keystrokes;
  for (int i = 1; i <= typed.size(); ++i) keystrokes.push_back(typed.left(i));
  for (int i = typed.size() - 1; i >= 0; --i) keystrokes.push_back(typed.left(i));
  const int keys = static_cast<int>(keystrokes.size());

  Figures ours;
  {
    QListWidget list;
    adw::ui::SetUpBoardList(&list);
    list.resize(185, 400);
    list.show();
    const auto start = Clock::now();
    adw::ui::ShowBoardRows(&list, rows);
    QCoreApplication::processEvents();
    ours.fill = Ms(Clock::now() - start);
    for (const QString& filter : keystrokes) {
      const auto t = Clock::now();
      adw::ui::ApplyBoardFilter(&list, filter);
      ours.filterOnly += Ms(Clock::now() - t);
      QCoreApplication::processEvents();  // the list lays out and paints
      const double ms = Ms(Clock::now() - t);
      ours.total += ms;
      ours.worst = std::max(ours.worst, ms);
    }
    adw::ui::ApplyBoardFilter(&list, typed);
    for (int i = 0; i < list.count(); ++i) ours.shownAtEnd += list.item(i)->isHidden() ? 0 : 1;
  }

  Figures peer;
  {
    QStringList names;
    names.reserve(count);
    for (const auto& row : rows) names << adw::ui::ToQ(row.name);
    QListView view;
    view.setUniformItemSizes(true);
    view.resize(185, 400);
    view.show();
    const auto start = Clock::now();
    QStringListModel model(names);
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    view.setModel(&proxy);
    QCoreApplication::processEvents();
    peer.fill = Ms(Clock::now() - start);
    for (const QString& filter : keystrokes) {
      const auto t = Clock::now();
      // One word at most: the proxy matches one fixed string.
      proxy.setFilterFixedString(filter.section(QLatin1Char(' '), 0, 0));
      QCoreApplication::processEvents();
      const double ms = Ms(Clock::now() - t);
      peer.total += ms;
      peer.worst = std::max(peer.worst, ms);
    }
    proxy.setFilterFixedString(typed.section(QLatin1Char(' '), 0, 0));
    peer.shownAtEnd = proxy.rowCount();
  }

  std::printf("%d boards, %d keystrokes (\"%s\" typed and taken back)\n", count, keys, qPrintable(typed));
  Report("ours (QListWidget + filter)", ours, keys);
  Report("Qt QSortFilterProxyModel", peer, keys);
  return ours.worst < 50.0 ? 0 : 1;
}
