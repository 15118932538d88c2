// The ad side of the windows: the record set models and grids, the ad list
// with its painted ticks and tick gestures, and the value-column rule.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

#include "engine/base/record_set.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"
#include "ui/base/ad_list_view.h"
#include "ui/base/record_grid.h"
#include "ui/base/record_set_model.h"

using adw::engine::RecordSet;
using adw::platform::W;
using adw::ui::RecordSetModel;

namespace {

void AddAd(RecordSet& ads, const char* utf8Name, const char* stat = "0") {
  const std::size_t row = ads.Append();
  ads.SetValue(row, "NAME", W(utf8Name));
  ads.SetValue(row, "STAT", stat);
}

std::vector<std::string> Stats(const RecordSet& ads) {
  std::vector<std::string> stats;
  for (std::size_t i = 0; i < ads.RecordCount(); ++i) stats.push_back(ads.Value(i, "STAT"));
  return stats;
}

// The ad list as the projects panel shows it.
struct AdList {
  RecordSet ads = adw::engine::MakeAdsRecordSet();
  RecordSetModel model{ads, {{"NAME", QStringLiteral("Наименование проекта")}}};
  QTableView view;

  AdList() {
    adw::ui::AttachAdList(&view, &model);
    view.resize(320, 200);
    view.show();
    view.setColumnWidth(0, view.viewport()->width() - 5);
  }
  QPoint RowPoint(int row, int x) const {
    const QRect r = view.visualRect(model.index(row, 0));
    return QPoint(x, r.center().y());
  }
  QImage Row(const QImage& shot, int row, int left, int right) const {
    const QRect r = view.visualRect(model.index(row, 0));
    return shot.copy(QRect(QPoint(left, r.top()), QPoint(right, r.bottom())));
  }
};

}  // namespace

class TestAdEditorWindow : public QObject {
  Q_OBJECT

 private slots:
  void modelFollowsEveryChangeOfTheSet() {
    RecordSet ads = adw::engine::MakeAdsRecordSet();
    RecordSetModel model(ads, {{"NAME", QStringLiteral("Наименование проекта")}, {"CATALOG", {}}});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Наименование проекта"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("CATALOG"));
    AddAd(ads, "Продам ноутбук");
    AddAd(ads, "Куплю диван");
    AddAd(ads, "Сдам дачу");
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Куплю диван"));

    ads.SetValue(1, "NAME", W("Куплю кресло"));
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Куплю кресло"));
    ads.Remove(0);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Куплю кресло"));
    ads.Clear();
    QCOMPARE(model.rowCount(), 0);
    AddAd(ads, "Снова");
    QCOMPARE(model.rowCount(), 1);
    // A rebuilt set (assigned whole) is shown whole.
    RecordSet other = adw::engine::MakeAdsRecordSet();
    AddAd(other, "Первое");
    AddAd(other, "Второе");
    ads = other;
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Второе"));
  }

  void defaultColumnsAreTheVisibleFieldsUnderTheirLabels() {
    RecordSet variables = adw::engine::MakeVariablesRecordSet();
    RecordSetModel model(variables);
    QStringList titles;
    for (int c = 0; c < model.columnCount(); ++c) titles << model.headerData(c, Qt::Horizontal).toString();
    QVERIFY(!titles.contains(QStringLiteral("Имя переменной")));  // NAME is hidden
    QVERIFY(titles.contains(QStringLiteral("Переменная")));
    QVERIFY(titles.contains(QStringLiteral("Значение")));
  }

  void viewAndSetShareTheCurrentRecord() {
    AdList list;
    AddAd(list.ads, "Первое");
    AddAd(list.ads, "Второе");
    AddAd(list.ads, "Третье");
    QCOMPARE(list.view.currentIndex().row(), 2);  // the appended record is current

    QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, list.RowPoint(0, 100));
    QCOMPARE(list.ads.Current(), std::size_t{0});
    list.ads.SetCurrent(1);
    QCOMPARE(list.view.currentIndex().row(), 1);
    // Removing the current record leaves the view on the record the set
    // names current, not on a row of its own choosing.
    list.ads.Remove(1);
    QCOMPARE(list.view.currentIndex().row(), static_cast<int>(list.ads.Current()));
    QCOMPARE(list.model.index(list.view.currentIndex().row(), 0).data().toString(), QStringLiteral("Третье"));
  }

  void adListPaintsTickBoxThenName() {
    AdList list;
    QVERIFY(list.view.horizontalHeader()->isVisible());
    QVERIFY(!list.view.verticalHeader()->isVisible());
    QVERIFY(!list.view.showGrid());
    AddAd(list.ads, "Альфа", "0");
    AddAd(list.ads, "Бета", "0");
    AddAd(list.ads, "Альфа", "1");
    AddAd(list.ads, "Текущее", "0");  // current and selected: painted differently
    const QImage shot = list.view.viewport()->grab().toImage();
    const int strip = adw::ui::kTickStripWidth;
    const int right = list.view.columnWidth(0) - 1;

    QCOMPARE(list.Row(shot, 0, 0, strip - 1), list.Row(shot, 1, 0, strip - 1));  // the name stays out of the strip
    QVERIFY(list.Row(shot, 0, 0, strip - 1) != list.Row(shot, 2, 0, strip - 1));  // STAT 1 is drawn ticked
    QVERIFY(list.Row(shot, 0, strip, right) != list.Row(shot, 1, strip, right));   // names differ
    QCOMPARE(list.Row(shot, 0, strip, right), list.Row(shot, 2, strip, right));    // same name, same text
  }

  void emptyAdListPaintsNothing() {
    AdList list;
    AddAd(list.ads, "Будет удалено", "1");
    list.ads.Clear();
    const QImage shot = list.view.viewport()->grab().toImage();
    const QRgb background = shot.pixel(0, 0);
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) QCOMPARE(shot.pixel(x, y), background);
    }
  }

  void gesturesFlipTheTick_data() {
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("x");
    QTest::addColumn<std::vector<std::string>>("stats");

    // Three ads, the last one current; the first is ticked beforehand.
    QTest::newRow("space") << "space" << 2 << 0 << std::vector<std::string>{"1", "0", "1"};
    QTest::newRow("double click on the name") << "dclick" << 1 << 100 << std::vector<std::string>{"1", "1", "0"};
    QTest::newRow("double click on the box") << "dclick" << 1 << 10 << std::vector<std::string>{"1", "1", "0"};
    QTest::newRow("press at the left edge") << "press" << 1 << 0 << std::vector<std::string>{"1", "1", "0"};
    QTest::newRow("press at 20 pixels") << "press" << 0 << 20 << std::vector<std::string>{"0", "0", "0"};
    QTest::newRow("press at 21 pixels") << "press" << 0 << 21 << std::vector<std::string>{"1", "0", "0"};
    QTest::newRow("press below the last ad") << "press-below" << 0 << 5 << std::vector<std::string>{"1", "0", "0"};
  }

  void gesturesFlipTheTick() {
    QFETCH(QString, gesture);
    QFETCH(int, row);
    QFETCH(int, x);
    QFETCH(std::vector<std::string>, stats);
    AdList list;
    AddAd(list.ads, "Первое", "1");
    AddAd(list.ads, "Второе");
    AddAd(list.ads, "Третье");
    if (gesture == "space") QTest::keyClick(&list.view, Qt::Key_Space);
    if (gesture == "dclick") {
      // Through the window, so the widgets get what a real double click
      // brings them (press, release, double click, release).
      QWindow* window = list.view.window()->windowHandle();
      QTest::mouseDClick(window, Qt::LeftButton, {}, list.view.viewport()->mapTo(list.view.window(), list.RowPoint(row, x)));
    }
    if (gesture == "press") QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, list.RowPoint(row, x));
    if (gesture == "press-below") {
      QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, QPoint(x, list.view.viewport()->height() - 2));
    }
    QCOMPARE(Stats(list.ads), stats);
  }

  void gesturesOnAnEmptyListDoNothing() {
    AdList list;
    QTest::keyClick(&list.view, Qt::Key_Space);
    QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(list.view.viewport(), Qt::LeftButton, {}, QPoint(60, 5));
    QCOMPARE(list.ads.RecordCount(), std::size_t{0});
  }

  void onlyTheValueColumnCanBeEdited() {
    RecordSet fields = adw::engine::MakeFieldsRecordSet();
    RecordSetModel model(fields, {{"DESC", QStringLiteral("Имя поля")}, {"DATA", {}}});
    QTableView grid;
    adw::ui::ShowRecordSet(&grid, &model);
    adw::ui::ApplyValueColumnRule(&grid);
    grid.show();
    const std::size_t row = fields.Append();
    fields.SetValue(row, "DESC", W("Имя"));
    fields.SetValue(row, "NAME", "$NAME");

    grid.setCurrentIndex(model.index(0, 0));
    QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    QTest::keyClicks(&grid, QStringLiteral("x"));
    QVERIFY(!grid.findChild<QLineEdit*>());
    QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("Икс")));
    QCOMPARE(fields.Value(0, "DESC"), W("Имя"));

    grid.setCurrentIndex(model.index(0, 1));
    QVERIFY(grid.editTriggers() != QAbstractItemView::NoEditTriggers);
    QTest::keyClicks(&grid, QStringLiteral("x"));  // typing opens the editor
    auto* editor = grid.findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(QStringLiteral("Пётр"));
    QCOMPARE(editor->maxLength(), 500);  // DATA of a field holds 500 characters
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits through a queued call
    QCOMPARE(fields.Value(0, "DATA"), W("Пётр"));
  }
};

QTEST_MAIN(TestAdEditorWindow)
#include "test_ad_editor_window.moc"
