// The board list of the projects panel: rows sorted by name with the due
// boards ticked, the three tick commands from their buttons and menu items,
// and the status bar hint about boards that could not be read.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QtTest>
#include <chrono>

#include "engine/base/board_container.h"
#include "engine/base/board_list.h"
#include "engine/base/short_date.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"
#include "ui/shell/main_window.h"

using adw::platform::W;
using adw::ui::TfrmMain;

namespace {

std::string DaysAgo(int days) {
  const auto today = std::chrono::sys_days(adw::engine::Today());
  return adw::engine::FormatShortDate(adw::engine::Date(today - std::chrono::days(days)));
}

// A script directory with board files and the main window over it.
class BoardsWindow {
 public:
  // Stores a board file; an empty lastSend or period leaves its key out.
  void Board(const std::string& fileName, const std::string& utf8Name, const std::string& lastSend = {},
             const std::string& period = {}) {
    std::string text = "[Project]\r\nNAME=" + W(utf8Name) + "\r\n";
    if (!lastSend.empty()) text += "LASTSEND=" + lastSend + "\r\n";
    if (!period.empty()) text += "Period=" + period + "\r\n";
    text += "[MAP]\r\n";
    const std::string plain = m_work.Write("plain.txt", text);
    adw::engine::PackBoardFile(plain, m_scripts.File(fileName));
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    return m_scripts.Write(name, bytes);
  }

  TfrmMain& Open() {
    const std::string settings =
        m_work.Write("adwelder.ini", "[Save]\r\ndeScript_Text=" + m_scripts.Path() + "\r\n");
    m_window = std::make_unique<TfrmMain>(settings);
    m_window->SetUserHooks({[this](const QString& text) { m_errors << text; }, [](QDialog&) { return 0; }});
    m_window->show();
    return *m_window;
  }
  const std::string& ScriptDir() const { return m_scripts.Path(); }
  const QStringList& Errors() const { return m_errors; }

 private:
  adw::test::TempDir m_scripts;
  adw::test::TempDir m_work;
  std::unique_ptr<TfrmMain> m_window;
  QStringList m_errors;
};

QStringList RowTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

QString Ticks(const QListWidget* list) {
  QString ticks;
  for (int i = 0; i < list->count(); ++i) ticks += list->item(i)->checkState() == Qt::Checked ? '1' : '0';
  return ticks;
}

}  // namespace

class TestBoardListWindow : public QObject {
  Q_OBJECT

 private:
  // Files listed in another order than the names; each due mark must land
  // on its own board's row.
  static void FiveBoards(BoardsWindow& boards) {
    boards.Board("c.prj", "Gamma");                   // no keys: never due
    boards.Board("a.prj", "beta", DaysAgo(3), "2");   // due since yesterday
    boards.Board("b.prj", "Alpha", DaysAgo(3), "3");  // due day itself: not yet
    boards.Board("d.prj", "дельта", {}, "0");         // today + 0: not due
    boards.Board("e.prj", "Ёлка", {}, "-1");          // a negative period makes today due
  }

 private slots:
  void rowsAreSortedWithDueBoardsTicked() {
    BoardsWindow boards;
    FiveBoards(boards);
    TfrmMain& window = boards.Open();
    QCOMPARE(RowTexts(window.CLBMain),
             (QStringList{"Alpha", "beta", "Gamma", QStringLiteral("дельта"), QStringLiteral("Ёлка")}));
    QCOMPARE(Ticks(window.CLBMain), QStringLiteral("01001"));
    QVERIFY(window.CLBMain->item(0)->flags() & Qt::ItemIsUserCheckable);
    QVERIFY(boards.Errors().isEmpty());
    QVERIFY(window.StatusText().isEmpty());
  }

  void tickCommandsFromButtonsAndMenu_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<QString>("ticks");
    QTest::newRow("Выделить все") << "all" << false << "11111";
    QTest::newRow("Отметить все проекты") << "all" << true << "11111";
    QTest::newRow("Отменить выделение") << "none" << false << "00000";
    QTest::newRow("Отменить все проекты") << "none" << true << "00000";
    QTest::newRow("Инвертировать") << "invert" << false << "10110";
    QTest::newRow("Инвертация выделенного") << "invert" << true << "10110";
  }

  void tickCommandsFromButtonsAndMenu() {
    QFETCH(QString, command);
    QFETCH(bool, fromMenu);
    QFETCH(QString, ticks);
    BoardsWindow boards;
    FiveBoards(boards);
    boards.Write("base.dat", W("[Объявление]\r\ndefault=$comp\r\n"));
    TfrmMain& window = boards.Open();
    window.RxMD.SetValue(0, "STAT", "1");

    QPushButton* button = command == "all"    ? window.btnSelAll
                          : command == "none" ? window.btnUnSelAll
                                              : window.btnInvert;
    QAction* item = command == "all"    ? window.mmRedoSelAll
                    : command == "none" ? window.mmRedoUnSelAll
                                        : window.mmRedoInvert;
    if (fromMenu)
      item->trigger();
    else
      button->click();
    QCOMPARE(Ticks(window.CLBMain), ticks);
    // The commands tick boards, never ads.
    QCOMPARE(window.RxMD.Value(0, "STAT"), std::string("1"));
    QCOMPARE(RowTexts(window.CLBMain).size(), 5);
  }

  void invertingTwiceRestoresTheTicks() {
    BoardsWindow boards;
    FiveBoards(boards);
    TfrmMain& window = boards.Open();
    window.CLBMain->item(2)->setCheckState(Qt::Checked);
    const QString before = Ticks(window.CLBMain);
    window.btnInvert->click();
    window.mmRedoInvert->trigger();
    QCOMPARE(Ticks(window.CLBMain), before);
  }

  void reloadReplacesTheUsersTicksByDueMarks() {
    BoardsWindow boards;
    FiveBoards(boards);
    TfrmMain& window = boards.Open();
    window.btnSelAll->click();
    boards.Board("f.prj", "Aardvark", DaysAgo(10), "1");
    window.FormShow();
    QCOMPARE(RowTexts(window.CLBMain).first(), QStringLiteral("Aardvark"));
    QCOMPARE(Ticks(window.CLBMain), QStringLiteral("101001"));
  }

  void configurationSaveKeepsTheTicksOfBoardsAndAds() {
    // Tick, then set the start time and save: the run must find the ticks.
    BoardsWindow boards;
    FiveBoards(boards);
    boards.Write("base.dat", W("[Первое]\r\ndefault=$comp\r\n[Второе]\r\ndefault=$comp\r\n"));
    TfrmMain& window = boards.Open();
    window.btnInvert->click();  // 10110
    window.RxMD.SetValue(1, "STAT", "1");
    boards.Board("f.prj", "Aardvark", DaysAgo(10), "1");  // new since the load: its due mark

    window.mmOptionConfigClick();
    window.cbTime->setChecked(true);
    window.mmRedoSave->trigger();
    QCOMPARE(window.PanelInFront(), window.pTree);
    QCOMPARE(RowTexts(window.CLBMain).first(), QStringLiteral("Aardvark"));
    QCOMPARE(Ticks(window.CLBMain), QStringLiteral("110110"));
    QCOMPARE(window.RxMD.Value(0, "STAT"), std::string("0"));
    QCOMPARE(window.RxMD.Value(1, "STAT"), std::string("1"));
  }

  void numbersInNamesSortByValueAndLongNamesShowWholeInATip() {
    BoardsWindow boards;
    const std::string longName = "Доска объявлений города Санкт-Петербург и Ленинградской области";
    boards.Board("b11.prj", "Доска 11");
    boards.Board("b2.prj", "Доска 2");
    boards.Board("b1.prj", "доска 1");
    boards.Board("long.prj", longName);
    TfrmMain& window = boards.Open();
    QCOMPARE(RowTexts(window.CLBMain),
             (QStringList{QStringLiteral("доска 1"), QStringLiteral("Доска 2"), QStringLiteral("Доска 11"),
                          QString::fromStdString(longName)}));
    QCOMPARE(window.CLBMain->item(3)->toolTip(),
             QString::fromStdString(longName) + QStringLiteral("\nlong.prj"));
    // The column is as wide as the user drags it.
    const int before = window.CLBMain->width();
    window.spTree->setSizes({before + 200, window.spTree->width() - before - 200});
    QVERIFY(window.CLBMain->width() >= before + 150);
  }

  void filterShowsMatchingBoardsAndTheCommandsActOnThem() {
    BoardsWindow boards;
    boards.Board("m1.prj", "Москва Авито");
    boards.Board("m2.prj", "Доска г. Москва");
    boards.Board("s.prj", "Санкт-Петербург");
    boards.Board("e.prj", "Ёжик");
    TfrmMain& window = boards.Open();
    const auto shown = [&window] {
      QStringList names;
      for (int i = 0; i < window.CLBMain->count(); ++i)
        if (!window.CLBMain->item(i)->isHidden()) names << window.CLBMain->item(i)->text();
      return names;
    };
    window.edFilter->setFocus();
    for (const QChar c : QStringLiteral("МОСКВА")) {
      // Typed as the keyboard sends Cyrillic letters.
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QCoreApplication::sendEvent(window.edFilter, &press);
    }
    QCOMPARE(window.edFilter->text(), QStringLiteral("МОСКВА"));
    QCOMPARE(shown(), (QStringList{QStringLiteral("Доска г. Москва"), QStringLiteral("Москва Авито")}));
    QCOMPARE(RowTexts(window.CLBMain).at(1), QStringLiteral("Ёжик"));
    window.btnSelAll->click();
    QCOMPARE(Ticks(window.CLBMain), QStringLiteral("1010"));
    window.edFilter->setText(QStringLiteral("ежик"));
    QCOMPARE(shown(), QStringList{QStringLiteral("Ёжик")});
    window.mmRedoInvert->trigger();
    QCOMPARE(Ticks(window.CLBMain), QStringLiteral("1110"));

    // A reload keeps the filter; clearing it shows every board.
    window.FormShow();
    QCOMPARE(shown(), QStringList{QStringLiteral("Ёжик")});
    window.edFilter->clear();
    QCOMPARE(shown().size(), 4);
    window.btnUnSelAll->click();
    QCOMPARE(Ticks(window.CLBMain), QStringLiteral("0000"));
  }

  void emptyOrMissingDirectoryGivesEmptyList_data() {
    QTest::addColumn<QString>("dir");
    QTest::newRow("no board files") << "empty";
    QTest::newRow("no such directory") << "missing";
    QTest::newRow("first start, no settings file") << "";
  }

  void emptyOrMissingDirectoryGivesEmptyList() {
    QFETCH(QString, dir);
    adw::test::TempDir work;
    const std::string scripts = dir == "missing" ? work.File("nowhere") : work.Path();
    const std::string settings =
        dir.isEmpty() ? work.File("adwelder.ini")
                      : work.Write("adwelder.ini", "[Save]\r\ndeScript_Text=" + scripts + "\r\n");
    QStringList errors;
    TfrmMain window(settings);
    window.SetUserHooks({[&](const QString& text) { errors << text; }, [](QDialog&) { return 0; }});
    window.show();
    QCOMPARE(window.CLBMain->count(), 0);
    window.btnSelAll->click();
    window.mmRedoInvert->trigger();
    QCOMPARE(window.CLBMain->count(), 0);
    QCOMPARE(window.RxMD.RecordCount(), std::size_t{0});
    QCOMPARE(window.RxMDTemp.RecordCount(), std::size_t{0});
    QVERIFY(errors.isEmpty());
  }

  void unreadableBoardsAreNamedInTheStatusBar() {
    BoardsWindow boards;
    FiveBoards(boards);
    boards.Write("broken.prj", "ADWPnot a container at all");
    boards.Write("zero.prj", "");
    TfrmMain& window = boards.Open();
    // The readable boards are all there, with their marks.
    QCOMPARE(RowTexts(window.CLBMain).size(), 5);
    QCOMPARE(Ticks(window.CLBMain), QStringLiteral("01001"));
    const auto list = adw::engine::LoadBoardList(boards.ScriptDir());
    QCOMPARE(list.failures.size(), std::size_t{2});
    const QString hint =
        QString::fromStdString(adw::platform::Cp1251ToUtf8(adw::engine::BoardLoadHint(list.failures)));
    QCOMPARE(window.StatusText(), hint);
    QVERIFY(hint.contains(QStringLiteral("broken.prj")));

    // Once the files are readable again, the next load takes its hint back.
    QFile::remove(QString::fromStdString(boards.ScriptDir() + "/broken.prj"));
    QFile::remove(QString::fromStdString(boards.ScriptDir() + "/zero.prj"));
    window.FormShow();
    QVERIFY(window.StatusText().isEmpty());
  }
};

QTEST_MAIN(TestBoardListWindow)
#include "test_board_list_window.moc"
