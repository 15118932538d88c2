// The ad side of the windows: the record set models and grids, the ad list
// with its painted ticks and tick gestures, the value-column rule, and the
// ad editor's New, Open, Save and Delete through the main window.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>

#include "engine/base/ad_editor.h"
#include "engine/base/record_set.h"
#include "engine/base/unsaved_ad.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text1251.h"
#include "support/example_base.h"
#include "support/temp_dir.h"
#include "ui/base/ad_list_view.h"
#include "ui/base/category_chooser.h"
#include "ui/base/record_grid.h"
#include "ui/base/record_set_model.h"
#include "ui/shell/main_window.h"

using adw::engine::RecordSet;
using adw::platform::W;
using adw::ui::RecordSetModel;
using adw::ui::TfrmMain;
using adw::ui::TfrmVariab;

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

// The worked example of the variables map and the ad store, with two more
// ads: one filed under a whole list and one without a category.
const char* const kMap = adw::test::kExampleMap;

const char* const kStore =
    "[Продам ноутбук]\r\n"
    "Имя$NAME=Иван\r\n"
    "Текст$TEXT=Почти новый\r\n"
    "default=Ноутбуки$comp\r\n"
    "reppath=/tmp/Отчеты\r\n"
    "[Куплю компьютер]\r\n"
    "Имя$NAME=Петр\r\n"
    "default=$comp\r\n"
    "[Без категории]\r\n"
    "Текст$TEXT=Просто текст\r\n";

QString Q(const std::string& cp1251) {
  return QString::fromStdString(adw::platform::Cp1251ToUtf8(cp1251));
}

// A script directory with the map and the store, and the main window over
// it. Modal windows go through a hook, so the chooser is driven from here.
class EditorWindow {
 public:
  explicit EditorWindow(bool useTemplate = false, const char* store = kStore) {
    m_scripts.Write("base.map", W(kMap));
    if (store) m_scripts.Write("base.dat", W(store));
    m_settings = m_scripts.Write("adwelder.ini",
                                 "[Save]\r\ndeScript_Text=" + m_scripts.Path() +
                                     "\r\ncbTemplate_Checked=" + (useTemplate ? "True" : "False") + "\r\n");
  }
  TfrmMain& Open() {
    m_window = std::make_unique<TfrmMain>(m_settings);
    m_window->SetUserHooks({[this](const QString& text) { errors << text; },
                            [this](QDialog& dialog) { return modal ? modal(dialog) : 0; }});
    m_window->SetConfirmHook([this](const QString& question, const QString&, const QString&) {
      questions << question;
      return answer;
    });
    m_window->show();
    return *m_window;
  }
  void Close() { m_window.reset(); }

  // The chooser's answer to the next "…": a node (child -1: the list
  // itself) and the way it closes.
  void Choose(int list, int child, const QString& how = QStringLiteral("select")) {
    modal = [list, child, how](QDialog& dialog) {
      auto& chooser = static_cast<TfrmVariab&>(dialog);
      chooser.show();
      QTreeWidgetItem* top = chooser.tvCateg->topLevelItem(list);
      chooser.tvCateg->setCurrentItem(child < 0 ? top : top->child(child));
      if (how == "select") chooser.btnSelect->click();
      if (how == "cancel") chooser.btnCancel->click();
      if (how == "close") chooser.close();
      return chooser.result();
    };
  }

  std::string StoreBytes() const { return m_scripts.Read("base.dat"); }
  adw::platform::IniDocument Store() const { return adw::platform::IniDocument::Parse(StoreBytes()); }
  std::string Value(const char* section, const char* key) const {
    return Store().ReadString(W(section), key, "<none>");
  }
  const adw::test::TempDir& Scripts() const { return m_scripts; }

  QStringList errors;
  std::function<int(QDialog&)> modal;
  // The questions asked before something is lost, and the answer given.
  QStringList questions;
  bool answer = true;

 private:
  adw::test::TempDir m_scripts;
  std::string m_settings;
  std::unique_ptr<TfrmMain> m_window;
};

QStringList Column(const RecordSet& set, const char* field) {
  QStringList values;
  for (std::size_t i = 0; i < set.RecordCount(); ++i) values << Q(set.Value(i, field));
  return values;
}

QStringList Sections(const adw::platform::IniDocument& doc) {
  QStringList names;
  for (const std::string& name : doc.SectionNames()) names << Q(name);
  return names;
}

bool InEditingState(const TfrmMain& window) {
  return window.sbtnSave->isEnabled() && window.mmRedoSave->isEnabled() && !window.sbtnNew->isEnabled() &&
         !window.mmRedoOpen->isEnabled();
}

bool InNormalState(const TfrmMain& window) {
  return !window.sbtnSave->isEnabled() && window.sbtnNew->isEnabled() && window.sbtnOpen->isEnabled() &&
         window.sbtnDel->isEnabled();
}

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

    QCOMPARE(list.Row(shot, 0, 0, strip - 1),
             list.Row(shot, 1, 0, strip - 1));  // the name stays out of the strip
    QVERIFY(list.Row(shot, 0, 0, strip - 1) != list.Row(shot, 2, 0, strip - 1));  // STAT 1 is drawn ticked
    QVERIFY(list.Row(shot, 0, strip, right) != list.Row(shot, 1, strip, right));  // names differ
    QCOMPARE(list.Row(shot, 0, strip, right), list.Row(shot, 2, strip, right));   // same name, same text
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
    QTest::newRow("double click on the name")
        << "dclick" << 1 << 100 << std::vector<std::string>{"1", "1", "0"};
    QTest::newRow("double click on the box")
        << "dclick" << 1 << 10 << std::vector<std::string>{"1", "1", "0"};
    QTest::newRow("press at the left edge") << "press" << 1 << 0 << std::vector<std::string>{"1", "1", "0"};
    QTest::newRow("press at 20 pixels") << "press" << 0 << 20 << std::vector<std::string>{"0", "0", "0"};
    QTest::newRow("press at 21 pixels") << "press" << 0 << 21 << std::vector<std::string>{"1", "0", "0"};
    QTest::newRow("press below the last ad")
        << "press-below" << 0 << 5 << std::vector<std::string>{"1", "0", "0"};
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
      QTest::mouseDClick(window, Qt::LeftButton, {},
                         list.view.viewport()->mapTo(list.view.window(), list.RowPoint(row, x)));
    }
    if (gesture == "press")
      QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, list.RowPoint(row, x));
    if (gesture == "press-below") {
      QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {},
                        QPoint(x, list.view.viewport()->height() - 2));
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

  // -- through the main window ------------------------------------------

  void gridsOfTheWindowShowTheirRecordSets() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    QCOMPARE(window.DBGridMessage->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Наименование проекта"));
    QCOMPARE(window.DBGridMessage->model()->rowCount(), 3);
    QCOMPARE(window.DBGridMessage->model()->index(1, 0).data().toString(), QStringLiteral("Куплю компьютер"));
    QCOMPARE(window.DBGridTemplate->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Переменная"));
    QCOMPARE(window.DBGridTemplate->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Значение переменной"));
    QCOMPARE(window.DBGridTemplate->model()->index(0, 1).data().toString(), QStringLiteral("Иван"));
    QCOMPARE(window.DBGridFields->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Имя поля"));
    QCOMPARE(window.DBGridFields->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Значение"));

    // The value-column rule holds on the variables grid too.
    window.DBGridTemplate->setCurrentIndex(window.DBGridTemplate->model()->index(0, 0));
    QCOMPARE(window.DBGridTemplate->editTriggers(), QAbstractItemView::NoEditTriggers);
    window.DBGridTemplate->setCurrentIndex(window.DBGridTemplate->model()->index(0, 1));
    QVERIFY(window.DBGridTemplate->editTriggers() != QAbstractItemView::NoEditTriggers);

    // The ad list ticks the ad pressed at its left edge.
    const QRect row = window.DBGridMessage->visualRect(window.DBGridMessage->model()->index(1, 0));
    QTest::mouseClick(window.DBGridMessage->viewport(), Qt::LeftButton, {}, QPoint(3, row.center().y()));
    QCOMPARE(window.RxMD.Value(1, "STAT"), std::string("1"));
    QCOMPARE(window.RxMD.Value(0, "STAT"), std::string("0"));
  }

  void newFillsTheEditor_data() {
    QTest::addColumn<bool>("useTemplate");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("использовать переменные") << true << QStringList{QStringLiteral("Иван"), QString()};
    QTest::newRow("without variables") << false << QStringList{QString(), QString()};
  }

  void newFillsTheEditor() {
    QFETCH(bool, useTemplate);
    QFETCH(QStringList, values);
    EditorWindow env(useTemplate);
    TfrmMain& window = env.Open();
    window.sbtnNew->click();

    QCOMPARE(window.PanelInFront(), window.pRedo);
    QCOMPARE(window.ViewMode(), adw::ui::vmEditor);
    QVERIFY(InEditingState(window));
    QVERIFY(window.EdTema->text().isEmpty());
    QVERIFY(window.cbCateg->text().isEmpty());
    QCOMPARE(window.deRepCat->text(), QString::fromStdString(env.Scripts().Path() + "/Reports"));
    QCOMPARE(Column(window.RxMDFields, "DESC"),
             (QStringList{QStringLiteral("Имя"), QStringLiteral("Текст")}));
    QCOMPARE(Column(window.RxMDFields, "DATA"), values);
    QCOMPARE(window.DBGridFields->model()->rowCount(), 2);
    QCOMPARE(window.DBGridFields->columnWidth(0), 131);
    // The boxes hold no more than the records keep.
    QCOMPARE(window.EdTema->maxLength(), 50);
    QCOMPARE(window.deRepCat->maxLength(), 100);
    QVERIFY(window.cbCateg->isReadOnly());
  }

  void savingANewAdAppendsIt() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.mmRedoNew->trigger();
    window.EdTema->setText(QStringLiteral("Куплю диван"));
    env.Choose(0, 1);
    window.cbCategButton->click();
    QCOMPARE(window.cbCateg->text(), QStringLiteral("Мониторы (Компьютеры)"));
    // Typed into the value column of the fields grid.
    QVERIFY(window.DBGridFields->model()->setData(window.DBGridFields->model()->index(1, 1),
                                                  QStringLiteral("Мягкий")));
    window.sbtnSave->click();

    QVERIFY(env.errors.isEmpty());
    QCOMPARE(window.PanelInFront(), window.pTree);
    QCOMPARE(window.ViewMode(), adw::ui::vmProjects);
    QVERIFY(InNormalState(window));
    const auto store = env.Store();
    QCOMPARE(Sections(store).last(), QStringLiteral("Куплю диван"));
    std::vector<std::string> keys = store.ReadSectionKeys(W("Куплю диван"));
    QCOMPARE(keys, (std::vector<std::string>{W("Имя$NAME"), W("Текст$TEXT"), "default", "reppath"}));
    QCOMPARE(env.Value("Куплю диван", "default"), W("Мониторы$comp"));
    QCOMPARE(store.ReadString(W("Куплю диван"), W("Текст$TEXT"), ""), W("Мягкий"));
    QCOMPARE(env.Value("Куплю диван", "reppath"), env.Scripts().Path() + "/Reports");
    QCOMPARE(window.RxMD.RecordCount(), std::size_t{4});
    QCOMPARE(window.RxMD.Value(3, "NAME"), W("Куплю диван"));
    QCOMPARE(window.RxMD.Value(3, "VARIAB"), std::string("$comp"));
    QCOMPARE(window.RxMD.Value(3, "ITEM"), W("Мониторы"));
    QCOMPARE(window.RxMD.Value(3, "CATALOG"), env.Scripts().Path() + "/Reports");
  }

  void typedCharactersTheCodePageLacksAreNamed() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.mmRedoNew->trigger();
    // Typed as the keyboard does it: key events that carry the text.
    for (const QChar c : QStringLiteral("Диван ✓")) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QCoreApplication::sendEvent(window.EdTema, &press);
    }
    QCOMPARE(window.EdTema->text(), QStringLiteral("Диван ✓"));
    QVERIFY2(window.sbMain->text().contains(QStringLiteral("\"✓\" (U+2713)")),
             qPrintable(window.sbMain->text()));
    window.SetStatusText({});
    QVERIFY(window.DBGridFields->model()->setData(window.DBGridFields->model()->index(1, 1),
                                                  QStringLiteral("Цена 5 €, скидка ½")));
    // The euro sign is in the code page; the half is not.
    QVERIFY2(window.sbMain->text().contains(QStringLiteral("\"½\" (U+00BD)")),
             qPrintable(window.sbMain->text()));
    QVERIFY(!window.sbMain->text().contains(QStringLiteral("€")));
    window.SetStatusText({});
    QVERIFY(window.DBGridFields->model()->setData(window.DBGridFields->model()->index(1, 1),
                                                  QStringLiteral("Ёлка")));
    QCOMPARE(window.sbMain->text(), QString());
  }

  void openShowsTheCurrentAd_data() {
    QTest::addColumn<int>("ad");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("reportDir");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("category of a list")
        << 0 << QStringLiteral("Продам ноутбук") << QStringLiteral("Ноутбуки (Компьютеры)")
        << QStringLiteral("/tmp/Отчеты")
        << QStringList{QStringLiteral("Иван"), QStringLiteral("Почти новый")};
    QTest::newRow("whole list") << 1 << QStringLiteral("Куплю компьютер") << QStringLiteral("Компьютеры")
                                << QString() << QStringList{QStringLiteral("Петр"), QString()};
    QTest::newRow("no category") << 2 << QStringLiteral("Без категории") << QString() << QString()
                                 << QStringList{QString(), QStringLiteral("Просто текст")};
  }

  void openShowsTheCurrentAd() {
    QFETCH(int, ad);
    QFETCH(QString, subject);
    QFETCH(QString, category);
    QFETCH(QString, reportDir);
    QFETCH(QStringList, values);
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.DBGridMessage->setCurrentIndex(window.DBGridMessage->model()->index(ad, 0));
    window.sbtnOpen->click();

    QCOMPARE(window.PanelInFront(), window.pRedo);
    QCOMPARE(window.ViewMode(), adw::ui::vmEditor);
    QVERIFY(InEditingState(window));
    QCOMPARE(window.EdTema->text(), subject);
    QCOMPARE(window.cbCateg->text(), category);
    QCOMPARE(window.deRepCat->text(), reportDir);
    QCOMPARE(Column(window.RxMDFields, "DATA"), values);
  }

  void savingAnOpenedAdKeepsItsCategoryUnlessChosenAnew() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    // A choice confirmed in an earlier, cancelled edit must not leak into
    // the next one.
    window.sbtnNew->click();
    env.Choose(0, -1);
    window.cbCategButton->click();
    QCOMPARE(window.cbCateg->text(), QStringLiteral("Компьютеры"));
    window.sbtnSave->click();  // no subject: refused
    window.btnRedoCancel->click();
    QCOMPARE(env.StoreBytes(), W(kStore));
    QCOMPARE(window.PanelInFront(), window.pTree);

    window.RxMD.SetCurrent(0);
    window.sbtnOpen->click();
    window.deRepCat->setText(QStringLiteral("  /tmp/Новые отчеты "));
    window.sbtnSave->click();
    QVERIFY(env.errors.isEmpty());
    QCOMPARE(env.Value("Продам ноутбук", "default"), W("Ноутбуки$comp"));
    // Written anew at the end; the list keeps the ad in its place until
    // the next load, with its new report directory at once.
    QCOMPARE(Sections(env.Store()),
             (QStringList{QStringLiteral("Куплю компьютер"), QStringLiteral("Без категории"),
                          QStringLiteral("Продам ноутбук")}));
    QCOMPARE(window.RxMD.Value(0, "NAME"), W("Продам ноутбук"));
    QCOMPARE(window.RxMD.Value(0, "CATALOG"), W("/tmp/Новые отчеты"));

    // Renamed, with the whole list chosen this time.
    window.RxMD.SetCurrent(0);
    window.sbtnOpen->click();
    window.EdTema->setText(QStringLiteral("Продам два ноутбука"));
    env.Choose(0, -1);
    window.cbCategButton->click();
    window.sbtnSave->click();
    QCOMPARE(Sections(env.Store()),
             (QStringList{QStringLiteral("Куплю компьютер"), QStringLiteral("Без категории"),
                          QStringLiteral("Продам два ноутбука")}));
    QCOMPARE(env.Value("Продам два ноутбука", "default"), std::string("$comp"));
    QCOMPARE(window.RxMD.Value(0, "ITEM"), std::string());
  }

  void chooserResultOnlyChangesTheBoxWhenConfirmed_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("box");
    QTest::newRow("Выбрать") << "select" << QStringLiteral("Мониторы (Компьютеры)");
    QTest::newRow("Отмена") << "cancel" << QStringLiteral("Ноутбуки (Компьютеры)");
    QTest::newRow("close box") << "close" << QStringLiteral("Ноутбуки (Компьютеры)");
  }

  void chooserResultOnlyChangesTheBoxWhenConfirmed() {
    QFETCH(QString, how);
    QFETCH(QString, box);
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.RxMD.SetCurrent(0);
    window.sbtnOpen->click();
    env.Choose(0, 1, how);
    window.cbCategButton->click();
    QCOMPARE(window.cbCateg->text(), box);
    QCOMPARE(window.frmVariab->pos(), window.cbCateg->mapToGlobal(QPoint(0, window.cbCateg->height())));
    window.sbtnSave->click();
    QCOMPARE(env.Value("Продам ноутбук", "default"), W(how == "select" ? "Мониторы$comp" : "Ноутбуки$comp"));
  }

  void saveWithoutSubjectOrCategorySaysWhyAndKeepsTheEdit_data() {
    QTest::addColumn<QString>("subject");
    QTest::addColumn<bool>("chooseCategory");
    QTest::addColumn<QString>("hint");
    QTest::newRow("blank subject") << QStringLiteral("   ") << true << Q(adw::engine::MissingSubjectHint());
    QTest::newRow("no category") << QStringLiteral("Новое") << false << Q(adw::engine::MissingCategoryHint());
  }

  void saveWithoutSubjectOrCategorySaysWhyAndKeepsTheEdit() {
    QFETCH(QString, subject);
    QFETCH(bool, chooseCategory);
    QFETCH(QString, hint);
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.sbtnNew->click();
    window.EdTema->setText(subject);
    QAbstractItemModel* fields = window.DBGridFields->model();
    QVERIFY(fields->setData(fields->index(0, 1), QStringLiteral("Иван")));
    if (chooseCategory) {
      env.Choose(0, 0);
      window.cbCategButton->click();
    }
    window.mmRedoSave->trigger();
    QCOMPARE(env.StoreBytes(), W(kStore));
    QCOMPARE(window.RxMD.RecordCount(), std::size_t{3});
    QCOMPARE(window.StatusText(), hint);
    QCOMPARE(window.PanelInFront(), window.pRedo);
    QVERIFY(InEditingState(window));
    QCOMPARE(window.EdTema->text(), subject);
    QCOMPARE(fields->index(0, 1).data().toString(), QStringLiteral("Иван"));
  }

  void cancelAndEscapeLeaveTheEditorAskingWhenSomethingWouldBeLost_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("left");
    QTest::newRow("Отмена, nothing typed") << "button"
                                           << "" << false << false << true;
    QTest::newRow("Esc, nothing typed") << "escape"
                                        << "" << false << false << true;
    QTest::newRow("Отмена, subject typed, drop it") << "button"
                                                    << "subject" << true << true << true;
    QTest::newRow("Esc, field typed, go back to it") << "escape"
                                                     << "field" << false << true << false;
    QTest::newRow("Esc, category chosen, go back") << "escape"
                                                   << "category" << false << true << false;
  }

  void cancelAndEscapeLeaveTheEditorAskingWhenSomethingWouldBeLost() {
    QFETCH(QString, how);
    QFETCH(QString, change);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, left);
    EditorWindow env;
    TfrmMain& window = env.Open();
    env.answer = answer;
    window.RxMD.SetCurrent(0);
    window.sbtnOpen->click();
    if (change == "subject") window.EdTema->setText(QStringLiteral("Продам ноутбук дешево"));
    if (change == "field") {
      QAbstractItemModel* fields = window.DBGridFields->model();
      QVERIFY(fields->setData(fields->index(0, 1), QStringLiteral("Пётр")));
    }
    if (change == "category") {
      env.Choose(0, 1);
      window.cbCategButton->click();
    }
    if (how == "button") {
      window.btnRedoCancel->click();
    } else {
      window.EdTema->setFocus();
      QTest::keyClick(window.EdTema, Qt::Key_Escape);
    }

    QCOMPARE(env.questions.size(), asked ? 1 : 0);
    QCOMPARE(env.StoreBytes(), W(kStore));
    if (left) {
      QCOMPARE(window.PanelInFront(), window.pTree);
      QCOMPARE(window.ViewMode(), adw::ui::vmProjects);
      QVERIFY(InNormalState(window));
    } else {
      QCOMPARE(window.PanelInFront(), window.pRedo);
      QVERIFY(InEditingState(window));
      // What was typed is still there to be saved.
      window.sbtnSave->click();
      QCOMPARE(window.PanelInFront(), window.pTree);
      QVERIFY(env.StoreBytes() != W(kStore));
    }
  }

  void closingTheWindowWithAnUnsavedAdAsks() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.sbtnNew->click();
    window.EdTema->setText(QStringLiteral("Куплю диван"));
    env.answer = false;
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QCOMPARE(env.questions.size(), 1);
    env.answer = true;
    QVERIFY(window.close());
    QCOMPARE(env.questions.size(), 2);
  }

  void duplicateSubjectIsRefusedAndTheEditStaysOpen() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.sbtnNew->click();
    window.EdTema->setText(QStringLiteral("Продам ноутбук"));
    env.Choose(0, 0);
    window.cbCategButton->click();
    window.sbtnSave->click();

    QCOMPARE(env.StoreBytes(), W(kStore));
    QCOMPARE(window.StatusText(), Q(adw::engine::DuplicateSubjectHint()));
    QCOMPARE(window.PanelInFront(), window.pRedo);
    QCOMPARE(window.ViewMode(), adw::ui::vmEditor);
    QVERIFY(InEditingState(window));
    QCOMPARE(window.cbCateg->text(), QStringLiteral("Ноутбуки (Компьютеры)"));

    window.EdTema->setText(QStringLiteral("Продам второй ноутбук"));
    window.sbtnSave->click();
    QCOMPARE(env.Value("Продам второй ноутбук", "default"), W("Ноутбуки$comp"));
    QVERIFY(window.StatusText().isEmpty());
    QCOMPARE(window.PanelInFront(), window.pTree);
  }

  void refusedWriteIsShownAndTheEditKept() {
    EditorWindow env(false, nullptr);
    // A directory where the store should be: no write can replace it.
    std::filesystem::create_directory(env.Scripts().File("base.dat"));
    TfrmMain& window = env.Open();
    window.sbtnNew->click();
    window.EdTema->setText(QStringLiteral("Куплю диван"));
    env.Choose(0, 0);
    window.cbCategButton->click();
    window.sbtnSave->click();

    QCOMPARE(env.errors.size(), 1);
    QVERIFY(env.errors.first().startsWith(QStringLiteral("Unable to write to")));
    QCOMPARE(window.RxMD.RecordCount(), std::size_t{0});
    QCOMPARE(window.PanelInFront(), window.pRedo);
    QVERIFY(InEditingState(window));
    QCOMPARE(window.EdTema->text(), QStringLiteral("Куплю диван"));
  }

  void deleteErasesTheCurrentAdOnlyWhenConfirmed() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.RxMD.SetCurrent(1);
    env.answer = false;
    window.sbtnDel->click();
    QCOMPARE(env.questions, QStringList{QStringLiteral("Удалить объявление «Куплю компьютер»?")});
    QCOMPARE(env.StoreBytes(), W(kStore));
    QCOMPARE(window.RxMD.RecordCount(), std::size_t{3});

    env.answer = true;
    window.sbtnDel->click();
    QCOMPARE(Sections(env.Store()),
             (QStringList{QStringLiteral("Продам ноутбук"), QStringLiteral("Без категории")}));
    QCOMPARE(window.DBGridMessage->model()->rowCount(), 2);
    window.mmRedoDel->trigger();
    window.mmRedoDel->trigger();
    QCOMPARE(window.RxMD.RecordCount(), std::size_t{0});
    QVERIFY(Sections(env.Store()).isEmpty());
    env.questions.clear();
    window.mmRedoDel->trigger();  // nothing left: nothing is asked or done
    QVERIFY(env.questions.isEmpty());
    QVERIFY(env.errors.isEmpty());
  }

  void tickAllAdsAndUntickAll() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    window.RxMD.SetCurrent(1);
    adw::engine::ToggleCurrentTick(window.RxMD);
    window.mmRedoSelAllAds->trigger();
    QCOMPARE(Stats(window.RxMD), (std::vector<std::string>{"1", "1", "1"}));
    window.mmRedoUnSelAllAds->trigger();
    QCOMPARE(Stats(window.RxMD), (std::vector<std::string>{"0", "0", "0"}));
    // Both under the ad list's right mouse button as well.
    QVERIFY(window.DBGridMessage->actions().contains(window.mmRedoSelAllAds));
    QVERIFY(window.DBGridMessage->actions().contains(window.mmRedoUnSelAllAds));
    window.sbtnNew->click();
    QVERIFY(!window.mmRedoSelAllAds->isEnabled());
  }

  void openWithoutAdsDoesNothing() {
    EditorWindow env(false, nullptr);
    TfrmMain& window = env.Open();
    window.sbtnOpen->click();
    QCOMPARE(window.PanelInFront(), window.pTree);
    QVERIFY(InNormalState(window));
    QVERIFY(env.errors.isEmpty());
  }

  void editedVariablesAreWrittenBackAtClose() {
    EditorWindow env;
    TfrmMain& window = env.Open();
    QAbstractItemModel* grid = window.DBGridTemplate->model();
    QVERIFY(grid->setData(grid->index(0, 1), QStringLiteral("Пётр")));
    env.Close();
    const auto map = adw::platform::IniDocument::Parse(env.Scripts().Read("base.map"));
    QCOMPARE(map.ReadString("Variab", "item2", ""), W("Имя$NAME$Пётр"));
    QCOMPARE(map.ReadString("Variab", "item1", ""), W("Компьютеры$comp"));
  }
};

QTEST_MAIN(TestAdEditorWindow)
#include "test_ad_editor_window.moc"
