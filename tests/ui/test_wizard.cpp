// The add-board wizard through the main window: the whole road from a
// board's page on the local demo board server to a stored board file that
// a posting run uses; the rules of Next and Prev; the page fetch's failures,
// time limit, relocation bound and busy client; binding list entries
// through the category chooser; and the exports with their failures.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <cstdlib>
#include <memory>

#include "engine/base/board_container.h"
#include "engine/base/board_file.h"
#include "engine/wizard/board_text.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/recording_shell.h"
#include "support/temp_dir.h"
#include "support/tls_peers.h"
#include "ui/base/category_chooser.h"
#include "ui/posting/posting_controller.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"
#include "ui/wizard/html_viewer.h"
#include "ui/wizard/wizard_controller.h"

using adw::platform::W;
using adw::ui::TfrmMain;
using adw::ui::TfrmVariab;

namespace {

const char* const kMap =
    "[Variab]\r\n"
    "item1=Компьютеры$comp\r\n"
    "item2=Тема$TEMA$\r\n"
    "item3=Имя$NAME$\r\n"
    "item4=Телефон$PHONE$\r\n"
    "item5=Текст$TEXT$\r\n"
    "[$comp]\r\n"
    "item1=Ноутбуки\r\n"
    "item2=Мониторы\r\n";

using adw::test::RecordingShell;

std::string Get(int port, const std::string& path) {
  return adw::test::LoopbackGet(port, path);
}

std::string Page(const std::string& html) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + html;
}

// Typing as the keyboard does it, Cyrillic letters included.
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &release);
  }
}

QString Q(const std::string& cp1251) {
  return adw::ui::ToQ(cp1251);
}

// The main window over a script directory of its own, with the modal
// windows and the save menu answered from the test.
class Rig {
  adw::test::TempDir m_dir;  // first made, last gone: the window writes there to the end

 public:
  explicit Rig(const std::string& settings = {}, bool scriptDir = true) {
    m_dir.Write("scripts/base.map", W(kMap));
    // No value holds the list entry's option value 1, which the posting
    // run would take for the list's pair.
    m_dir.Write(
        "scripts/base.dat",
        W("[Продам ноутбук]\r\nТема$TEMA=Продам ноутбук\r\nИмя$NAME=Иван\r\nТелефон$PHONE=8 900 "
          "234-56-78\r\nТекст$TEXT=Почти новый, пятнадцать дюймов\r\ndefault=Ноутбуки$comp\r\nreppath=") +
            m_dir.File("reports") + "\r\n");
    QDir().mkpath(QString::fromStdString(m_dir.File("reports")));
    const std::string path =
        m_dir.Write("adwelder.ini", "[Save]\r\n" + settings +
                                        (scriptDir ? "deScript_Text=" + Scripts() + "\r\n" : std::string()) +
                                        "edTimeOut_Text=20\r\n");
    w = std::make_unique<TfrmMain>(path);
    w->SetUserHooks({[this](const QString& text) { errors << text; },
                     [this](QDialog& dialog) { return modal ? modal(dialog) : 0; }});
    w->Posting().SetTerminateHook([] {});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    wizard().PopupMenu = [this](QMenu&, QPoint) {
      ++popups;
      if (menuChoice) menuChoice->trigger();
    };
  }

  std::string Scripts() const { return m_dir.File("scripts"); }
  adw::ui::WizardController& wizard() { return w->Wizard(); }

  // The General page filled in as a user does it.
  void Fill(const std::string& url, const QString& name, int codePage) {
    w->mmOptionAddDOClick();
    w->cbURL->lineEdit()->selectAll();
    QTest::keyClicks(w->cbURL->lineEdit(), QString::fromStdString(url));
    w->edProjName->selectAll();
    Type(w->edProjName, name);
    w->cbCodePage->setCurrentIndex(codePage);
  }
  void Next() { QTest::mouseClick(w->btnNext, Qt::LeftButton); }
  void Prev() { QTest::mouseClick(w->btnPrev, Qt::LeftButton); }
  // Next from the General page and wait until the page has come.
  void Fetch() {
    QCOMPARE(w->nbAddDO->currentIndex(), 0);
    Next();
    QCOMPARE(w->nbAddDO->currentIndex(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!wizard().Fetching(), 30000);
  }
  void Refetch(const std::string& url) {
    Prev();
    w->cbURL->setEditText(QString::fromStdString(url));
    Fetch();
  }

  adw::engine::TFormControlObj& Control(const char* name) {
    for (const auto& form : w->HTMLViewer->Document()->Forms())
      for (const auto& control : form->Controls())
        if (control->Name() == name) return *control;
    throw std::runtime_error(std::string("no control ") + name);
  }
  template <typename T>
  T* Widget(const char* name) {
    return qobject_cast<T*>(w->HTMLViewer->ControlWidget(Control(name)));
  }
  bool PageShows(const char* utf8) const { return w->HTMLViewer->TextRect(W(utf8)).has_value(); }
  bool PageEmpty() const { return w->HTMLViewer->Document()->Items().empty(); }

  QStringList TreeTexts() const {
    QStringList texts;
    for (QTreeWidgetItemIterator it(w->tvTree); *it; ++it) texts << (*it)->text(0);
    return texts;
  }
  QTreeWidgetItem* Node(const QString& text) const {
    for (QTreeWidgetItemIterator it(w->tvTree); *it; ++it)
      if ((*it)->text(0) == text) return *it;
    return nullptr;
  }
  void ClickMark(QTreeWidgetItem* node) {
    const QRect box = w->tvTree->visualItemRect(node);
    QTest::mouseClick(w->tvTree->viewport(), Qt::LeftButton, {}, QPoint(box.left() + 8, box.center().y()));
  }
  int Mark(QTreeWidgetItem* node) {
    return wizard().FieldTree.Nodes()[adw::ui::WizardController::NodeOf(node)].stateIndex;
  }
  // The chooser's answer: a node of its tree (child -1: the list itself),
  // confirmed with "Выбрать" or left with "Отмена".
  void Choose(int list, int child, bool select = true) {
    modal = [list, child, select](QDialog& dialog) {
      auto& chooser = static_cast<TfrmVariab&>(dialog);
      chooser.show();
      QTreeWidgetItem* top = chooser.tvCateg->topLevelItem(list);
      chooser.tvCateg->setCurrentItem(child < 0 ? top : top->child(child));
      (select ? chooser.btnSelect : chooser.btnCancel)->click();
      return chooser.result();
    };
  }

  QStringList errors;
  std::function<int(QDialog&)> modal;
  QAction* menuChoice = nullptr;
  int popups = 0;
  std::unique_ptr<TfrmMain> w;  // last, so it goes first
};

}  // namespace

class TestWizard : public QObject {
  Q_OBJECT

 private:
  RecordingShell m_shell;
  std::unique_ptr<adw::test::TempDir> m_tmp;
  std::unique_ptr<adw::test::ChildProcess> m_server;
  int m_port = 0;

  std::string BoardUrl(const char* board) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + board + "/";
  }
  // The demo board's list of what it received, in Windows-1251.
  std::string Received(const char* board) const {
    return adw::engine::PreparePageText(Get(m_port, std::string("/") + board + "/list"), 1);
  }
  std::string TempFile(const char* name) const { return adw::platform::TempDirectory() + name; }

 private slots:
  void initTestCase() {
    // temp.html and temp.prj land in a directory of this test only.
    m_tmp = std::make_unique<adw::test::TempDir>();
    QVERIFY(::setenv("TMPDIR", m_tmp->Path().c_str(), 1) == 0);
    adw::platform::SetShell(&m_shell);
    m_port = adw::test::FreeLoopbackPort();
    m_server = std::make_unique<adw::test::ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", ADWELD_SOURCE_DIR "/tools/demo-board", "--port",
                                 std::to_string(m_port), "--quiet"},
        m_tmp->File("demo-board.log"));
    QTRY_VERIFY2_WITH_TIMEOUT(!Get(m_port, "/").empty() || m_server->HasExited(),
                              "the demo board server does not answer", 30000);
    QVERIFY2(!m_server->HasExited(), m_tmp->Read("demo-board.log").c_str());
  }

  void cleanupTestCase() {
    m_server.reset();
    adw::platform::SetShell(nullptr);
  }

  void wholeRoadFromTheBoardPageToAPostedAd() {
    Rig rig;
    TfrmMain& w = *rig.w;
    const std::string url = BoardUrl("baraholka");
    rig.Fill(url, QStringLiteral("Барахолка"), 1);
    QCOMPARE(w.fedProject->text(), QStringLiteral("Барахолка.prj"));
    QCOMPARE(w.PanelInFront(), w.pAddDO);
    rig.Fetch();

    // The KOI8-R page is shown in Windows-1251, its list in the tree.
    QVERIFY(rig.PageShows("Барахолка"));
    QVERIFY(rig.PageShows("объявления"));
    QCOMPARE(rig.TreeTexts(), (QStringList{"rubr", "Ноутбуки", "Мониторы", "Транспорт"}));
    QCOMPARE(w.sbMain->text(), QString());
    QVERIFY(!adw::platform::FileExists(TempFile("temp.html")));

    // Bind the first entry through the chooser.
    QTreeWidgetItem* laptops = rig.Node(QStringLiteral("Ноутбуки"));
    rig.Choose(0, 0);
    rig.ClickMark(laptops);
    QCOMPARE(rig.Mark(laptops), adw::engine::kMarkBound);
    QCOMPARE(w.tvTree->currentItem(), laptops);
    QCOMPARE(laptops->text(0), QStringLiteral("Ноутбуки  → Ноутбуки"));
    QCOMPARE(rig.wizard().FieldTree.BindingLines(), std::vector<std::string>{W("1$rubr=Ноутбуки$comp")});

    // Fill the form with placeholders and submit it: captured, not sent.
    for (const auto& [field, placeholder] :
         {std::pair{"subject", "$TEMA"}, std::pair{"name", "$NAME"}, std::pair{"phone", "$PHONE"}}) {
      auto* box = rig.Widget<QLineEdit>(field);
      QVERIFY(box);
      QTest::keyClicks(box, QString::fromLatin1(placeholder));
    }
    QTest::keyClicks(rig.Widget<QPlainTextEdit>("text"), QStringLiteral("$TEXT"));
    QCOMPARE(rig.Widget<QComboBox>("rubr")->currentText(), QStringLiteral("Ноутбуки"));
    rig.Next();
    QCOMPARE(w.sbMain->text(), QStringLiteral("Нажмите кнопку Submit ..."));
    QCOMPARE(w.nbAddDO->currentIndex(), 1);
    QTest::mouseClick(rig.Widget<QPushButton>("send"), Qt::LeftButton);
    QTRY_VERIFY(w.HasCapture);
    const std::string body = W("subject=$TEMA&name=$NAME&phone=$PHONE&text=$TEXT&rubr=1&send=Отправить");
    QCOMPARE(rig.wizard().CapturedBody, body);
    QCOMPARE(rig.wizard().CapturedSubmitURL, url + "add");
    QCOMPARE(rig.wizard().CapturedPageURL, url);
    QVERIFY(Received("baraholka").find(W("Пока ничего не размещено")) != std::string::npos);

    // Preview.
    rig.Next();
    QCOMPARE(w.nbAddDO->currentIndex(), 2);
    QCOMPARE(w.btnNext->text(), QStringLiteral("Сохранить"));
    const QStringList preview = {"[Project]",
                                 "NAME=Барахолка",
                                 Q("SUBMIT=" + url + "add"),
                                 Q("SUBBODY=" + body),
                                 Q("REQUEST=" + url),
                                 "CODE=KOI8-R",
                                 "OK=",
                                 "FAIL=",
                                 " ",
                                 "[MAP]",
                                 "1$rubr=Ноутбуки$comp",
                                 "",
                                 "",
                                 ""};
    QCOMPARE(w.memPreview->toPlainText(), preview.join('\n'));

    // "Сохранить" pops the save menu up once; "в файл ..." stores the board.
    rig.menuChoice = rig.wizard().pmSaveFile;
    rig.Next();
    rig.Next();
    QCOMPARE(rig.popups, 1);
    QVERIFY2(rig.errors.isEmpty(), qPrintable(rig.errors.join('\n')));
    const std::string stored = rig.Scripts() + "/" + W("Барахолка.prj");
    QCOMPARE(adw::platform::ReadWholeFile(stored).value_or("").substr(0, 4), "ADWP");
    QVERIFY(adw::platform::FileExists(TempFile("temp.prj")));
    const auto board = adw::engine::BoardFile::Read(rig.Scripts(), W("Барахолка.prj"));
    QCOMPARE(board.Name(), W("Барахолка"));
    QCOMPARE(board.Submit(), url + "add");
    QCOMPARE(board.SubBody(), body);
    QCOMPARE(board.Request(), url);
    QCOMPARE(board.Code(), "KOI8-R");
    QCOMPARE(board.MapEntries(),
             (std::vector<std::pair<std::string, std::string>>{{"1$rubr", W("Ноутбуки$comp")}}));

    // The board is in the board list at once, selected, and a run posts
    // the ad to it.
    w.mmViewProjectsClick();
    QList<QListWidgetItem*> found = w.CLBMain->findItems(QStringLiteral("Барахолка"), Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    QCOMPARE(w.CLBMain->currentItem(), found[0]);
    found[0]->setCheckState(Qt::Checked);
    w.DBGridMessage->setCurrentIndex(w.DBGridMessage->model()->index(0, 0));
    QTest::keyClick(w.DBGridMessage, Qt::Key_Space);
    QCOMPARE(w.RxMD.Value(0, "STAT"), std::string("1"));
    w.sbtnStatus->click();
    QTest::mouseClick(w.btnStart, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Posting().Pool().IsActive() && w.btnStop->isHidden(), 60000);
    QCOMPARE(w.lbSuccessMsg->text(), QStringLiteral("1"));
    const std::string received = Received("baraholka");
    for (const char* line :
         {"<b>subject</b>: Продам ноутбук", "<b>name</b>: Иван", "<b>phone</b>: 8 900 234-56-78",
          "<b>text</b>: Почти новый, пятнадцать дюймов", "<b>rubr</b>: 1", "<b>send</b>: Отправить"})
      QVERIFY2(received.find(W(line)) != std::string::npos, line);
    QVERIFY2(rig.errors.isEmpty(), qPrintable(rig.errors.join('\n')));
  }

  void nextAndPrevFollowTheirRules() {
    Rig rig;
    TfrmMain& w = *rig.w;
    w.mmOptionAddDOClick();
    // Both names are needed; the file name follows the board name.
    rig.Next();
    QCOMPARE(w.sbMain->text(), QStringLiteral("Введите наименование доски объявления или имя файла ..."));
    QCOMPARE(w.nbAddDO->currentIndex(), 0);
    Type(w.edProjName, QStringLiteral("Город"));
    QCOMPARE(w.fedProject->text(), QStringLiteral("Город.prj"));
    w.fedProject->setText(QStringLiteral(" \t"));
    rig.Next();
    QCOMPARE(w.nbAddDO->currentIndex(), 0);
    w.edProjName->clear();
    QCOMPARE(w.fedProject->text(), QStringLiteral(".prj"));

    // A Windows-1251 page fetched as it is.
    w.cbURL->setEditText(QString::fromStdString(BoardUrl("gorod")));
    Type(w.edProjName, QStringLiteral("Город"));
    w.cbCodePage->setCurrentIndex(0);
    rig.Fetch();
    QVERIFY(rig.PageShows("Городская доска"));
    QVERIFY(rig.TreeTexts().isEmpty());  // a form without lists
    QTest::mouseClick(rig.Widget<QPushButton>(""), Qt::LeftButton);
    QTRY_VERIFY(w.HasCapture);
    rig.Next();
    QCOMPARE(w.nbAddDO->currentIndex(), 2);
    w.memPreview->setPlainText(QStringLiteral("edited"));

    // Prev restores the caption; Next recomposes the Preview text.
    rig.Prev();
    QCOMPARE(w.btnNext->text(), QStringLiteral("След. >>"));
    QCOMPARE(w.nbAddDO->currentIndex(), 1);
    rig.Next();
    QVERIFY(w.memPreview->toPlainText().startsWith(QStringLiteral("[Project]\nNAME=Город\n")));
    QVERIFY(w.memPreview->toPlainText().contains(QStringLiteral("CODE=WIN1251\n")));

    // Cancel leaves the wizard as it is; opening it again asks for a new
    // submission before Preview.
    w.btnCancel->click();
    QCOMPARE(w.PanelInFront(), w.pTree);
    w.mmOptionAddDO->trigger();
    QCOMPARE(w.PanelInFront(), w.pAddDO);
    QCOMPARE(w.nbAddDO->currentIndex(), 2);
    QVERIFY(!w.HasCapture);
    rig.Prev();
    rig.Next();
    QCOMPARE(w.sbMain->text(), QStringLiteral("Нажмите кнопку Submit ..."));
    QVERIFY(rig.PageShows("Городская доска"));
  }

  void failedFetchesSayWhyInThePageAndTheStatusBar_data() {
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("progress");
    QTest::addColumn<QString>("status");
    // The fetch's time limit in ms; 0 keeps the settings file's 20 seconds.
    QTest::addColumn<int>("timeOutMs");
    const QString lead = QStringLiteral("Страница не загружена: ");
    const QString timedOut = lead + QStringLiteral("HTTP request timed out after 500 ms");
    QTest::newRow("nobody listening")
        << QStringLiteral("refused") << QString() << lead + QStringLiteral("Connection refused") << 0;
    QTest::newRow("not found") << QStringLiteral("404") << QString()
                               << lead + QStringLiteral("сервер ответил 404 Not Found") << 0;
    QTest::newRow("server never answers") << QStringLiteral("silent") << QString() << timedOut << 500;
    QTest::newRow("body never ends") << QStringLiteral("held") << QStringLiteral("Bytes received : 14")
                                     << timedOut << 500;
    QTest::newRow("endless relocations") << QStringLiteral("loop") << QString()
                                         << lead + QStringLiteral("Too many relocations (more than 20)") << 0;
    QTest::newRow("untrusted certificate")
        << QStringLiteral("tls") << QString()
        << lead + QStringLiteral("TLS: certificate verify failed: unable to get local issuer certificate")
        << 0;
    QTest::newRow("endless page") << QStringLiteral("flood") << QString()
                                  << lead + QStringLiteral("Page larger than 32 MiB: the fetch was stopped")
                                  << 0;
  }
  void failedFetchesSayWhyInThePageAndTheStatusBar() {
    QFETCH(QString, peer);
    QFETCH(QString, progress);
    QFETCH(QString, status);
    QFETCH(int, timeOutMs);
    using adw::test::RawServer;
    std::unique_ptr<RawServer> server;
    std::string url = "http://127.0.0.1:" + std::to_string(adw::test::FreeLoopbackPort()) + "/";
    if (peer == "404")
      server = std::make_unique<RawServer>(
          RawServer::Mode::Reply,
          std::vector<std::string>{"HTTP/1.0 404 Not Found\r\n\r\n<html>gone</html>"});
    if (peer == "silent") server = std::make_unique<RawServer>(RawServer::Mode::NeverAnswer);
    if (peer == "held")
      server = std::make_unique<RawServer>(RawServer::Mode::ReplyAndHold,
                                           std::vector<std::string>{Page("<p>half a page")});
    if (peer == "loop")
      server = std::make_unique<RawServer>(
          RawServer::Mode::Reply, std::vector<std::string>{"HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n"});
    if (server) url = server->Url("/");
    std::unique_ptr<adw::test::TestCertificates> certs;
    std::unique_ptr<adw::test::TlsServer> tls;
    if (peer == "tls") {
      certs = std::make_unique<adw::test::TestCertificates>();
      tls = std::make_unique<adw::test::TlsServer>(*certs, adw::test::TestCertificates::Kind::Good);
      url = tls->Url("/");
    }
    std::unique_ptr<adw::test::FloodServer> flood;
    if (peer == "flood") {
      flood = std::make_unique<adw::test::FloodServer>(adw::test::FloodServer::Mode::EndlessBody);
      url = flood->Url("/");
    }

    Rig rig;
    rig.wizard().FetchTimeOutMs = timeOutMs;
    rig.Fill(BoardUrl("baraholka"), QStringLiteral("Барахолка"), 1);
    rig.Fetch();
    QVERIFY(!rig.PageEmpty());
    QVERIFY(!rig.TreeTexts().isEmpty());

    rig.Prev();
    rig.w->cbURL->setEditText(QString::fromStdString(url));
    rig.Next();
    if (!progress.isEmpty()) QTRY_COMPARE_WITH_TIMEOUT(rig.w->sbMain->text(), progress, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.wizard().Fetching(), 30000);
    // The page area says what happened, whatever the code page box says.
    QVERIFY(rig.PageShows("Страница не загружена"));
    QVERIFY(rig.w->HTMLViewer->TextRect(url).has_value());
    QVERIFY(!rig.PageShows("Барахолка"));
    QVERIFY(rig.TreeTexts().isEmpty());
    QVERIFY2(rig.w->sbMain->text().startsWith(status), qPrintable(rig.w->sbMain->text()));
    QVERIFY(rig.errors.isEmpty());
    QVERIFY(!rig.wizard().Http.Busy());
  }

  void aSlowPageLeftWithPrevGivesWayToTheCorrectedAddress() {
    adw::test::RawServer silent(adw::test::RawServer::Mode::NeverAnswer);
    Rig rig("EdTimeOut_Text=20\r\n");
    rig.Fill(silent.Url("/"), QStringLiteral("Барахолка"), 1);
    rig.Next();
    QVERIFY(rig.wizard().Fetching());
    silent.WaitForConnections(1);
    // The wrong address is noticed while its page is still coming.
    rig.Prev();
    rig.w->cbURL->setEditText(QString::fromStdString(BoardUrl("baraholka")));
    rig.Next();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.wizard().Fetching(), 10000);
    QVERIFY(rig.PageShows("Барахолка"));
    QCOMPARE(rig.TreeTexts(), (QStringList{"rubr", "Ноутбуки", "Мониторы", "Транспорт"}));
    QCOMPARE(rig.w->sbMain->text(), QString());
    QVERIFY(!rig.wizard().Http.Busy());
    QVERIFY(rig.errors.isEmpty());
  }

  void closingTheWindowDuringAFetchEndsIt() {
    adw::test::RawServer silent(adw::test::RawServer::Mode::NeverAnswer);
    Rig rig;
    rig.Fill(silent.Url("/"), QStringLiteral("Доска"), 0);
    rig.Next();
    QVERIFY(rig.wizard().Fetching());
    silent.WaitForConnections(1);
    // Well before the fetch's 20 seconds are up.
    rig.w.reset();
    QVERIFY(rig.errors.isEmpty());
  }

  void aTemporaryCopyThatCannotBeWrittenKeepsThePreviousPage() {
    Rig rig;
    rig.Fill(BoardUrl("baraholka"), QStringLiteral("Барахолка"), 1);
    rig.Fetch();
    const QStringList tree = rig.TreeTexts();
    // A directory where the copy belongs makes writing it fail.
    QVERIFY(QDir().mkpath(QString::fromStdString(TempFile("temp.html"))));
    rig.Refetch(BoardUrl("gorod"));
    QVERIFY(QDir().rmdir(QString::fromStdString(TempFile("temp.html"))));
    QCOMPARE(rig.errors, QStringList{Q("Cannot create file " + TempFile("temp.html"))});
    QCOMPARE(rig.w->nbAddDO->currentIndex(), 1);
    QVERIFY(rig.PageShows("Барахолка"));
    QCOMPARE(rig.TreeTexts(), tree);
  }

  void aUtf8PageIsFoundShownAndCapturedThroughItsButton() {
    const std::string page =
        "<html><head><meta charset=\"utf-8\"></head><body><p>Доска ✓</p>"
        "<form action=\"add.cgi\"><select name=\"rubr\"><option value=\"3\">Ноутбуки</option></select>"
        "<input name=\"subject\" value=\"$TEMA\"><button name=\"go\" value=\"1\">Разместить</button></form>"
        "</body></html>";
    adw::test::RawServer server(
        adw::test::RawServer::Mode::Reply,
        {"HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n" + page, Page(page), Page(page)});
    Rig rig;
    TfrmMain& w = *rig.w;
    QCOMPARE(w.cbCodePage->count(), 4);
    QCOMPARE(w.cbCodePage->itemText(3), QStringLiteral("UTF-8"));
    rig.Fill(server.Url("/"), QStringLiteral("Юникод"), -1);
    rig.Fetch();
    QCOMPARE(w.cbCodePage->currentIndex(), 3);
    QVERIFY(rig.PageShows("Доска ?"));
    QCOMPARE(rig.TreeTexts(), (QStringList{"rubr", QStringLiteral("Ноутбуки")}));
    QVERIFY2(w.sbMain->text().contains(QStringLiteral("\"✓\" (U+2713)")), qPrintable(w.sbMain->text()));

    auto* go = rig.Widget<QPushButton>("go");
    QVERIFY(go);
    QCOMPARE(go->text(), QStringLiteral("Разместить"));
    QTest::mouseClick(go, Qt::LeftButton);
    QTRY_VERIFY(w.HasCapture);
    QCOMPARE(rig.wizard().CapturedBody, "rubr=3&subject=$TEMA&go=1");
    rig.Next();
    QVERIFY(w.memPreview->toPlainText().contains(QStringLiteral("\nCODE=UTF-8\n")));

    // The meta is found too; a code page the user picked stands.
    rig.Prev();
    rig.Refetch(server.Url("/"));
    QCOMPARE(w.cbCodePage->currentIndex(), 3);
    rig.Prev();
    w.cbCodePage->setCurrentIndex(0);
    rig.Refetch(server.Url("/"));
    QCOMPARE(w.cbCodePage->currentIndex(), 0);
  }

  void bindingFollowsTheChooserAndTheChosenForm() {
    adw::test::RawServer server(
        adw::test::RawServer::Mode::Reply,
        {Page("<form action=\"first.cgi\"><input name=\"q\"><input type=\"submit\"></form>"
              "<FORM action=\"second.cgi\"><select name=\"rubr\"><option value=\"3\">   </option></select>"
              "<input type=\"radio\" name=\"srok\" value=\"7\">week <input type=\"radio\" name=\"srok\" "
              "value=\"30\">month<br></FORM>")});
    Rig rig;
    TfrmMain& w = *rig.w;
    rig.Fill(server.Url("/"), QStringLiteral("Доска"), 0);
    w.rseFormNumber->setValue(2);
    rig.Fetch();
    // The form model lists no option without text.
    QCOMPARE(rig.TreeTexts(), (QStringList{"rubr", "srok", "week ", "month"}));

    // "Отмена" binds nothing.
    QTreeWidgetItem* group = rig.Node(QStringLiteral("srok"));
    rig.Choose(0, 0, false);
    rig.ClickMark(group);
    QCOMPARE(rig.Mark(group), adw::engine::kMarkUnbound);
    QVERIFY(rig.wizard().FieldTree.BindingLines().empty());

    // A radio group shares its record with its first button: two lines.
    rig.Choose(0, -1);
    rig.ClickMark(group);
    QCOMPARE(rig.Mark(group), adw::engine::kMarkBound);
    QCOMPARE(rig.Mark(rig.Node(QStringLiteral("week "))), adw::engine::kMarkUnbound);
    QCOMPARE(rig.wizard().FieldTree.BindingLines(),
             (std::vector<std::string>{W("7$srok=Компьютеры$comp"), W("7$srok=Компьютеры$comp")}));

    // Each entry shows what it is bound to.
    QCOMPARE(rig.TreeTexts(), (QStringList{"rubr", "srok  → Компьютеры", "week ", "month"}));

    // Selecting a node tells its value, text and binding.
    QTreeWidgetItem* month = rig.Node(QStringLiteral("month"));
    w.tvTree->setCurrentItem(month);
    QCOMPARE(w.sbMain->text(), QStringLiteral("30 month "));
    // A click on an entry's text binds it, or binds it anew; a click on a
    // ticked mark unbinds.
    const auto clickText = [&w](QTreeWidgetItem* node) {
      const QRect box = w.tvTree->visualItemRect(node);
      QTest::mouseClick(w.tvTree->viewport(), Qt::LeftButton, {}, QPoint(box.left() + 40, box.center().y()));
    };
    rig.Choose(0, 1);
    clickText(month);
    QCOMPARE(w.tvTree->currentItem(), month);
    QCOMPARE(rig.Mark(month), adw::engine::kMarkBound);
    QCOMPARE(month->text(0), QStringLiteral("month  → Мониторы"));
    clickText(group);
    QCOMPARE(w.tvTree->currentItem(), group);
    QCOMPARE(rig.Mark(group), adw::engine::kMarkBound);
    QCOMPARE(group->text(0), QStringLiteral("srok  → Мониторы"));
    rig.ClickMark(month);
    rig.ClickMark(group);
    QCOMPARE(group->text(0), QStringLiteral("srok"));
    QCOMPARE(rig.Mark(group), adw::engine::kMarkUnbound);
    QVERIFY(rig.wizard().FieldTree.BindingLines().empty());

    // The submission is the pressed button's form, not the tree's.
    QTest::keyClicks(rig.Widget<QLineEdit>("q"), QStringLiteral("$TEMA "));
    QTest::mouseClick(rig.Widget<QPushButton>(""), Qt::LeftButton);
    QTRY_VERIFY(w.HasCapture);
    QCOMPARE(rig.wizard().CapturedSubmitURL, server.Url("/") + "first.cgi");
    QCOMPARE(rig.wizard().CapturedBody, "q=$TEMA");
  }

  void exportsAndTheirFailures() {
    Rig rig;
    TfrmMain& w = *rig.w;
    auto& wizard = rig.wizard();
    QVERIFY(!wizard.mmSaveFTP->isEnabled());
    QCOMPARE(wizard.pmSave->actions().size(), 3);

    // Mail: the description on the clipboard, the link to the mailbox.
    w.memPreview->setPlainText(QStringLiteral("[Project]\nNAME=Доска"));
    wizard.pmSaveEMail->trigger();
    QVERIFY(!m_shell.opened.empty());
    QCOMPARE(m_shell.clipboard, W("[Project]\nNAME=Доска"));
    QCOMPARE(m_shell.opened.back(),
             W("mailto:boards@example.com?subject=New message board&body=Нажмите Shift+Ins"));

    // File: the same name twice overwrites; each line ends with CR LF.
    w.fedProject->setText(QStringLiteral("Доска.prj"));
    wizard.pmSaveFile->trigger();
    w.memPreview->setPlainText(QStringLiteral("[Project]\nNAME=Другая\nSUBBODY=") + QString(3000, 'x'));
    wizard.pmSaveFile->trigger();
    QVERIFY(rig.errors.isEmpty());
    const std::string stored = rig.Scripts() + "/" + W("Доска.prj");
    QCOMPARE(adw::engine::ReadBoardText(stored),
             W("[Project]\r\nNAME=Другая\r\nSUBBODY=") + std::string(3000, 'x') + "\r\n");

    // An empty description stores an empty board.
    w.memPreview->clear();
    wizard.pmSaveFile->trigger();
    QCOMPARE(adw::engine::ReadBoardText(stored), std::string());

    // A path as the file name, as the browse button gives it, is refused.
    const std::string path = rig.Scripts() + "/sub.prj";
    w.fedProject->setText(QString::fromStdString(path));
    wizard.pmSaveFile->trigger();
    QCOMPARE(
        rig.errors,
        QStringList{Q("Lzrw1 (de)compression : Failed to open output file : " + rig.Scripts() + "/" + path)});
    QVERIFY(!adw::platform::FileExists(path));

    // Without a stored script directory nothing is written at the root.
    Rig bare({}, false);
    bare.w->fedProject->setText(QStringLiteral("nowhere-board.prj"));
    bare.wizard().pmSaveFile->trigger();
    QCOMPARE(bare.errors,
             QStringList{"Lzrw1 (de)compression : Failed to open output file : /nowhere-board.prj"});
    QVERIFY(!adw::platform::FileExists("/nowhere-board.prj"));
  }
};

QTEST_MAIN(TestWizard)
#include "test_wizard.moc"
