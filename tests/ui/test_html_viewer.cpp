// The page viewer THTMLViewer: how a page is laid out and painted, its form
// controls as operable widgets whose edits reach the form model, the
// form-submit event with the pairs the model delivers, the link under the
// pointer, the base element, images, loading and replacing pages, and the
// lazily made widgets of a large page.
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>
#include <set>

#include "engine/wizard/html/html_document.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"
#include "ui/wizard/html_viewer.h"

using adw::engine::TFormControlObj;
using adw::platform::W;
using adw::ui::THTMLViewer;

namespace {

struct Submission {
  std::string action;
  std::string method;
  std::vector<std::string> pairs;
};

// A shown viewer that records its form-submit events.
class Viewer {
 public:
  explicit Viewer(QSize size = QSize(700, 500)) {
    view.resize(size);
    view.OnFormSubmit = [this](THTMLViewer& sender, const std::string& action, const std::string& method,
                               std::vector<std::string> results) {
      QCOMPARE(&sender, &view);
      submissions.push_back({action, method, std::move(results)});
    };
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));
  }
  // Pages are written in UTF-8 here and shown as the program has them.
  void Load(const char* utf8Page) { view.LoadFromString(W(utf8Page)); }

  TFormControlObj& Control(const char* name, int nth = 0) {
    for (const auto& form : view.Document()->Forms()) {
      for (const auto& control : form->Controls()) {
        if (control->Name() == W(name) && nth-- == 0) return *control;
      }
    }
    throw std::runtime_error(std::string("no control ") + name);
  }
  template <typename T>
  T* Widget(const char* name, int nth = 0) {
    return qobject_cast<T*>(view.ControlWidget(Control(name, nth)));
  }
  QRectF Text(const char* utf8) const {
    const auto rect = view.TextRect(W(utf8));
    if (!rect) throw std::runtime_error(std::string("text not laid out: ") + utf8);
    return *rect;
  }
  void MoveTo(QPointF page) {
    const QPoint at = view.ToViewport(page);
    QMouseEvent move(QEvent::MouseMove, at, view.viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &move);
  }
  static std::vector<std::string> Pairs(std::initializer_list<const char*> utf8) {
    std::vector<std::string> pairs;
    for (const char* p : utf8) pairs.push_back(W(p));
    return pairs;
  }

  THTMLViewer view;
  std::vector<Submission> submissions;
};

// The worked example of a board's form.
const char* const kBoardForm =
    "<form action=\"add.cgi\" method=\"post\">"
    "<input type=\"text\" name=\"subject\" value=\"$TEMA\">"
    "<input type=\"hidden\" name=\"id\" value=\"17\">"
    "<select name=\"rubr\"><option value=\"1\">Ноутбуки<option value=\"3\" selected>Авто"
    "<option value=\"5\">Дома</select>"
    "<textarea name=\"text\">Продам\nнедорого</textarea>"
    "<input type=\"checkbox\" name=\"urgent\" value=\"1\">"
    "<input type=\"submit\" name=\"send\" value=\"Отправить\">"
    "</form>";

// Typing as the keyboard does it, for letters QTest has no key codes for.
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &release);
  }
}

int DarkPixels(const QImage& image, const QRect& area) {
  int dark = 0;
  const QRect r = area.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
  }
  return dark;
}

}  // namespace

class TestHtmlViewer : public QObject {
  Q_OBJECT

 private slots:
  void laysOutHeadingsParagraphsListsAndTables() {
    Viewer v;
    v.Load(
        "<h1>Заголовок</h1><p>Первый абзац<br>после переноса</p><p>Второй абзац</p>"
        "<ul><li>пункт один<li>пункт два</ul><ol><li>первый<li>второй</ol>"
        "<table border=1><tr><td>ячейка11</td><td>ячейка12</td></tr>"
        "<tr><td>ячейка21 с длинным текстом</td><td>ячейка22</td></tr></table><p>после таблицы</p>");
    const QRectF heading = v.Text("Заголовок");
    const QRectF first = v.Text("Первый абзац");
    const QRectF broken = v.Text("после переноса");
    const QRectF second = v.Text("Второй абзац");
    QVERIFY(heading.height() > first.height() * 1.5);
    QVERIFY(heading.bottom() <= first.top());
    // A line break starts the next line at the left; a paragraph also leaves a gap.
    QCOMPARE(broken.left(), first.left());
    QVERIFY(broken.top() >= first.bottom());
    QVERIFY(second.top() - broken.bottom() > broken.top() - first.bottom() + 3);

    // List items stack, indented, each with its marker to the left.
    const QRectF item1 = v.Text("пункт один");
    const QRectF item2 = v.Text("пункт два");
    QVERIFY(item1.left() >= first.left() + 30);
    QCOMPARE(item2.left(), item1.left());
    QVERIFY(item2.top() >= item1.bottom());
    const QRectF number2 = v.Text("2.");
    QVERIFY(number2.right() <= v.Text("второй").left());
    QCOMPARE(number2.center().y(), v.Text("второй").center().y());
    QVERIFY(v.view.TextRect("\x95").has_value());  // the bullet

    // Table cells: a row shares its line, a column its left edge, and the
    // table sits between the texts around it.
    const QRectF c11 = v.Text("ячейка11");
    const QRectF c12 = v.Text("ячейка12");
    const QRectF c21 = v.Text("ячейка21");
    const QRectF c22 = v.Text("ячейка22");
    QCOMPARE(c11.center().y(), c12.center().y());
    QCOMPARE(c21.center().y(), c22.center().y());
    QCOMPARE(c11.left(), c21.left());
    QCOMPARE(c12.left(), c22.left());
    QVERIFY(c12.left() > c21.right());
    QVERIFY(c21.top() > c11.bottom());
    QVERIFY(v.Text("после таблицы").top() > c22.bottom());

    // What was laid out is what is painted.
    const QImage shot = v.view.viewport()->grab().toImage();
    QVERIFY(DarkPixels(shot, QRect(v.view.ToViewport(heading.topLeft()), heading.size().toSize())) > 50);
    const QRectF blank(heading.right() + 20, heading.top(), 100, heading.height());
    QCOMPARE(DarkPixels(shot, QRect(v.view.ToViewport(blank.topLeft()), blank.size().toSize())), 0);
  }

  void wrapsLongTextToTheViewerWidth() {
    Viewer v(QSize(300, 400));
    std::string words;
    for (int i = 0; i < 60; ++i) words += "слово" + std::to_string(i) + " ";
    v.Load(("<p>" + words + "</p><pre>строка  с   пробелами\nвторая</pre>").c_str());
    std::set<qreal> lines;
    for (const auto& frag : v.view.Layout()->Frags()) {
      if (frag.kind != adw::ui::FragKind::Text) continue;
      lines.insert(frag.y);
      if (std::string_view(frag.text, frag.length).find(W("пробелами")) == std::string_view::npos)
        QVERIFY(frag.x + frag.w <= v.view.viewport()->width());
    }
    QVERIFY(lines.size() > 5);
    // Preformatted text keeps its blanks and its line ends.
    QVERIFY(v.view.TextRect(W("строка  с   пробелами")).has_value());
    QVERIFY(v.Text("вторая").top() > v.Text("строка").top());
    QCOMPARE(v.view.horizontalScrollBar()->maximum(), 0);
  }

  void submitsTheWorkedExampleAfterTheClick() {
    Viewer v;
    v.Load(kBoardForm);
    QPushButton* send = v.Widget<QPushButton>("send");
    QVERIFY(send);
    QCOMPARE(send->text(), QStringLiteral("Отправить"));
    QTest::mouseClick(send, Qt::LeftButton);
    // The event comes once the click has been handled, not inside it.
    QVERIFY(v.submissions.empty());
    QTRY_COMPARE(v.submissions.size(), std::size_t(1));
    QCOMPARE(v.submissions[0].action, "add.cgi");
    QCOMPARE(v.submissions[0].method, "post");
    QCOMPARE(v.submissions[0].pairs, Viewer::Pairs({"subject=$TEMA", "id=17", "rubr=3", "text=Продам",
                                                    "text=недорого", "send=Отправить"}));
  }

  void buttonElementsAreShownAndActAsBrowsersDo() {
    Viewer v;
    v.Load(
        "<form action=\"add\"><input name=\"t\" value=\"old\">"
        "<button type=\"button\" name=\"noop\">Ничего</button>"
        "<button type=\"reset\" name=\"clear\">Сброс</button>"
        "<button name=\"go\" value=\"send\">Разместить <b>объявление</b></button></form>");
    QPushButton* go = v.Widget<QPushButton>("go");
    QVERIFY(go);
    QCOMPARE(go->text(), QStringLiteral("Разместить объявление"));
    QVERIFY(!go->isHidden());
    // The button's content is its caption, not text of the page.
    QVERIFY(!v.view.TextRect(W("объявление")).has_value());
    auto* text = v.Widget<QLineEdit>("t");
    QTest::keyClicks(text, "new");
    QTest::mouseClick(v.Widget<QPushButton>("noop"), Qt::LeftButton);
    QTest::mouseClick(v.Widget<QPushButton>("clear"), Qt::LeftButton);
    QCOMPARE(text->text(), QStringLiteral("old"));
    QTest::mouseClick(go, Qt::LeftButton);
    QTRY_COMPARE(v.submissions.size(), std::size_t(1));
    QCOMPARE(v.submissions[0].pairs, Viewer::Pairs({"t=old", "go=send"}));
  }

  void typedCharactersTheCodePageLacksAreReported() {
    Viewer v;
    std::vector<std::vector<char32_t>> reported;
    v.view.OnTextReplaced = [&](THTMLViewer& sender, const std::vector<char32_t>& replaced) {
      QCOMPARE(&sender, &v.view);
      reported.push_back(replaced);
    };
    v.Load("<form><input name=\"t\"><textarea name=\"a\"></textarea></form>");
    auto* text = v.Widget<QLineEdit>("t");
    text->setFocus();
    for (const QChar c : QStringLiteral("ё✓")) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QCoreApplication::sendEvent(text, &press);
    }
    QCOMPARE(reported, (std::vector<std::vector<char32_t>>{{U'✓'}}));
    QCOMPARE(text->text(), QStringLiteral("ё?"));
    v.Widget<QPlainTextEdit>("a")->insertPlainText(QStringLiteral("½ и ✓"));
    QCOMPARE(reported.back(), (std::vector<char32_t>{U'½', U'✓'}));
  }

  void editsOfEveryKindOfControlReachTheSubmission() {
    Viewer v;
    v.Load(
        "<form action=\"a\"><input name=\"t\" value=\"old\"><input type=\"password\" name=\"pw\">"
        "<textarea name=\"area\"></textarea><input type=\"checkbox\" name=\"c\">"
        "<input type=\"radio\" name=\"r\" value=\"1\" checked><input type=\"radio\" name=\"R\" value=\"2\">"
        "<select name=\"s\"><option value=\"x\">X<option>Игрек</select>"
        "<select name=\"m\" multiple><option value=\"a\">A<option value=\"b\">B<option value=\"c\">C</select>"
        "<input type=\"hidden\" name=\"h\" value=\"hid\"><input type=\"submit\"></form>");
    auto* text = v.Widget<QLineEdit>("t");
    text->selectAll();
    Type(text, QStringLiteral("$TEXT мой"));
    auto* password = v.Widget<QLineEdit>("pw");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QTest::keyClicks(password, QStringLiteral("secret"));
    auto* area = v.Widget<QPlainTextEdit>("area");
    area->setFocus();
    Type(area, QStringLiteral("строка1"));
    QTest::keyClick(area, Qt::Key_Return);
    Type(area, QStringLiteral("строка2"));
    QTest::mouseClick(v.Widget<QCheckBox>("c"), Qt::LeftButton);
    // Radio buttons of one name (any case) exclude each other, in the model
    // and on screen.
    auto* r1 = v.Widget<QRadioButton>("r");
    auto* r2 = v.Widget<QRadioButton>("R");
    QTest::mouseClick(r2, Qt::LeftButton);
    QVERIFY(!r1->isChecked());
    QVERIFY(r2->isChecked());
    QTest::mouseClick(r2, Qt::LeftButton);  // a checked radio button stays checked
    QVERIFY(r2->isChecked());
    v.Widget<QComboBox>("s")->setCurrentIndex(1);
    auto* multi = v.Widget<QListWidget>("m");
    QTest::mouseClick(multi->viewport(), Qt::LeftButton, {}, multi->visualItemRect(multi->item(0)).center());
    QTest::mouseClick(multi->viewport(), Qt::LeftButton, {}, multi->visualItemRect(multi->item(2)).center());
    // A hidden field has no widget.
    QCOMPARE(v.view.ControlWidget(v.Control("h")), nullptr);

    QTest::mouseClick(v.Widget<QPushButton>("", 0), Qt::LeftButton);
    QTRY_COMPARE(v.submissions.size(), std::size_t(1));
    QCOMPARE(v.submissions[0].pairs,
             Viewer::Pairs({"t=$TEXT мой", "pw=secret", "area=строка1", "area=строка2", "c=On", "R=2",
                            "s=Игрек", "m=a", "m=c", "h=hid"}));
  }

  void resetAndModelChangesShowInTheWidgets() {
    Viewer v;
    v.Load(
        "<form><input name=\"t\" value=\"start\"><input type=\"checkbox\" name=\"c\" checked>"
        "<select name=\"s\"><option>a<option selected>b</select><input type=\"reset\" "
        "value=\"Сброс\"></form>");
    auto* text = v.Widget<QLineEdit>("t");
    QCOMPARE(text->text(), QStringLiteral("start"));
    text->selectAll();
    QTest::keyClicks(text, QStringLiteral("changed"));
    QTest::mouseClick(v.Widget<QCheckBox>("c"), Qt::LeftButton);
    v.Widget<QComboBox>("s")->setCurrentIndex(0);
    QTest::mouseClick(v.Widget<QPushButton>(""), Qt::LeftButton);
    QCOMPARE(text->text(), QStringLiteral("start"));
    QVERIFY(v.Widget<QCheckBox>("c")->isChecked());
    QCOMPARE(v.Widget<QComboBox>("s")->currentIndex(), 1);
    QTest::qWait(0);
    QVERIFY(v.submissions.empty());
  }

  void enterSubmitsOnlyAFormWithOneVisibleControl_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("submits");
    QTest::newRow("one text box") << QStringLiteral("<form action=\"s\"><input name=\"q\"></form>") << true;
    QTest::newRow("text box and hidden")
        << QStringLiteral("<form action=\"s\"><input name=\"q\"><input type=hidden name=h value=1></form>")
        << true;
    QTest::newRow("text box and button")
        << QStringLiteral("<form action=\"s\"><input name=\"q\"><input type=submit></form>") << false;
  }
  void enterSubmitsOnlyAFormWithOneVisibleControl() {
    QFETCH(QString, page);
    QFETCH(bool, submits);
    // Enter in the page's box belongs to the page: the window around the
    // viewer (a wizard with a default button) must not see it.
    QWidget window;
    auto* view = new THTMLViewer(&window);
    view->resize(400, 300);
    std::vector<std::vector<std::string>> submitted;
    view->OnFormSubmit = [&](THTMLViewer&, const std::string&, const std::string&,
                             std::vector<std::string> r) { submitted.push_back(std::move(r)); };
    struct EnterSpy : QObject {
      int enters = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Return) ++enters;
        return false;
      }
    } spy;
    window.installEventFilter(&spy);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->LoadFromString(FromQ(page));
    auto* box = qobject_cast<QLineEdit*>(view->ControlWidget(*view->Document()->Forms()[0]->Controls()[0]));
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("word"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::qWait(0);
    QCOMPARE(spy.enters, 0);
    if (submits) {
      QTRY_COMPARE(submitted.size(), std::size_t(1));
      QCOMPARE(submitted[0].front(), "q=word");
    } else {
      QCOMPARE(submitted.size(), std::size_t(0));
    }
  }

  void imagesComeFromTheRequestHandlerOrShowTheirAltText() {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");

    Viewer v;
    std::vector<std::string> asked;
    v.view.OnImageRequest = [&](THTMLViewer&, const std::string& src) -> std::optional<std::string> {
      asked.push_back(src);
      if (src == "red.png") return png.toStdString();
      return std::nullopt;
    };
    v.Load(
        "<img src=\"red.png\"> <img src=\"gone.png\" alt=\"Нет картинки\"> "
        "<form action=\"go\"><input type=\"image\" name=\"pos\" src=\"btn.gif\" alt=\"Кнопка\" width=60 "
        "height=20></form>");
    QCOMPARE(asked, (std::vector<std::string>{"red.png", "gone.png", "btn.gif"}));
    std::vector<QRectF> images;
    for (const auto& frag : v.view.Layout()->Frags())
      if (frag.kind == adw::ui::FragKind::Image) images.push_back(frag.Rect());
    QCOMPARE(images.size(), std::size_t(2));
    QCOMPARE(images[0].size(), QSizeF(40, 30));
    QVERIFY(images[1].width() > 40);  // room for the alt text
    const QImage shot = v.view.viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(v.view.ToViewport(images[0].center())).rgb(), QColor(Qt::red).rgb());

    QWidget* input = v.view.ControlWidget(v.Control("pos"));
    QCOMPARE(input->size(), QSize(60, 20));
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(12, 7));
    QTRY_COMPARE(v.submissions.size(), std::size_t(1));
    // Where the image was hit does not reach the captured body.
    QCOMPARE(v.submissions[0].pairs, Viewer::Pairs({"pos.x=0", "pos.y=0"}));
  }

  void currentLinkFollowsThePointerAndBaseIsKept() {
    Viewer v;
    v.Load(
        "<html><head><base href=\"http://board.example/dir/\" target=\"_top\"></head><body>"
        "<p>Текст <a href=\"list.html?page=2\">ссылка на список</a> и ещё текст</p></body></html>");
    QCOMPARE(v.view.DocumentBase(), "http://board.example/dir/");
    QCOMPARE(v.view.DocumentBaseTarget(), "_top");
    QCOMPARE(v.view.CurrentLinkURL(), "");
    v.MoveTo(v.Text("ссылка на список").center());
    QCOMPARE(v.view.CurrentLinkURL(), "list.html?page=2");
    v.MoveTo(v.Text("и ещё текст").center());
    QCOMPARE(v.view.CurrentLinkURL(), "");
    v.MoveTo(v.Text("ссылка на список").center());
    QCOMPARE(v.view.CurrentLinkURL(), "list.html?page=2");
    // A page without a base element has none.
    v.Load("<p>без базы</p>");
    QCOMPARE(v.view.DocumentBase(), "");
    QCOMPARE(v.view.CurrentLinkURL(), "");
  }

  void loadsFilesAndReplacesPagesSafely() {
    adw::test::TempDir dir;
    std::string tall = "<p>верх</p>";
    for (int i = 0; i < 200; ++i) tall += "<p>строка " + std::to_string(i) + "</p>";
    tall += "<a name=\"form\"></a><p>низ</p>";
    const std::string path = dir.Write("page.html", W(tall));

    Viewer v;
    v.view.LoadFromFile(path + "#form");
    QVERIFY(v.view.verticalScrollBar()->value() > 0);
    const int shownAt = v.view.ToViewport(v.Text("низ").topLeft()).y();
    QVERIFY(shownAt >= 0 && shownAt < v.view.viewport()->height());

    // A missing file fails with the viewer's message; the page stays.
    try {
      v.view.LoadFromFile(dir.File("missing.html"));
      QFAIL("no error");
    } catch (const adw::engine::THtmlLoadError& e) {
      QCOMPARE(std::string(e.what()), "Can't locate file: " + dir.File("missing.html"));
    }
    QVERIFY(v.view.TextRect(W("низ")).has_value());

    // A submission still on its way when the page is replaced is dropped
    // with the page, and the old page's widgets go with it.
    v.Load(kBoardForm);
    QPointer<QPushButton> send = v.Widget<QPushButton>("send");
    QTest::mouseClick(send, Qt::LeftButton);
    v.Load("<p>другая страница</p>");
    QTest::qWait(0);
    QTRY_VERIFY(send.isNull());
    QVERIFY(v.submissions.empty());
    QCOMPARE(v.view.WidgetCount(), std::size_t(0));
  }

  void makesWidgetsOnlyNearTheVisiblePartAndTabsInPageOrder() {
    std::string page = "<form action=\"f\">";
    for (int i = 0; i < 400; ++i)
      page += "<p>поле " + std::to_string(i) + " <input name=\"f" + std::to_string(i) + "\">";
    page += "</form>";
    Viewer v(QSize(500, 300));
    v.Load(page.c_str());
    QVERIFY(v.view.WidgetCount() > 0);
    QVERIFY(v.view.WidgetCount() < 40);

    // Far down the page a control comes into view when asked for.
    QWidget* last = v.view.ControlWidget(v.Control("f399"));
    QVERIFY(last && last->isVisible());
    QVERIFY(v.view.viewport()->rect().contains(last->geometry()));
    QVERIFY(v.view.WidgetCount() < 80);

    // Tab goes to the next control of the page, made when needed.
    QWidget* first = v.view.ControlWidget(v.Control("f0"));
    first->setFocus();
    QTRY_VERIFY(first->hasFocus());
    QTest::keyClick(first, Qt::Key_Tab);
    QWidget* second = v.view.ExistingWidget(v.Control("f1"));
    QVERIFY(second && second->hasFocus());
    QTest::keyClicks(second, QStringLiteral("x"));
    QCOMPARE(static_cast<adw::engine::TEditFormControlObj&>(v.Control("f1")).Text(), "x");
  }

 private:
  static std::string FromQ(const QString& text) { return adw::platform::Utf8ToCp1251(text.toStdString()); }
};

QTEST_MAIN(TestHtmlViewer)
#include "test_html_viewer.moc"
