// The category chooser frmVariab: its tree from the variables map, the
// result of "Выбрать", "Отмена" and the close box, and where it opens.
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "engine/base/category_tree.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"
#include "ui/base/category_chooser.h"

using adw::platform::W;
using adw::ui::TfrmVariab;

namespace {

// The worked example of the map: one category list and two simple
// variables, plus a list whose section is empty and a gap in the numbering.
const char* const kMap =
    "[Variab]\n"
    "item1=Компьютеры$comp\n"
    "item2=Имя$NAME$Иван\n"
    "item3=Текст$TEXT$\n"
    "item4=Авто$auto\n"
    "item5=Дома$house\n"
    "item7=После пропуска$late\n"
    "[$comp]\n"
    "item1=Ноутбуки\n"
    "item2=Мониторы\n"
    "[$auto]\n"
    "item1=\n"
    "[$house]\n"
    "item1=Квартиры\n"
    "[$late]\n"
    "item1=Не видно\n";

QStringList TopLevelTexts(const QTreeWidget* tree) {
  QStringList texts;
  for (int i = 0; i < tree->topLevelItemCount(); ++i) texts << tree->topLevelItem(i)->text(0);
  return texts;
}

QStringList ChildTexts(const QTreeWidgetItem* item) {
  QStringList texts;
  for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
  return texts;
}

}  // namespace

class TestCategoryChooser : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<adw::test::TempDir> m_dir;
  std::string m_mapPath;

 private slots:
  void init() {
    m_dir = std::make_unique<adw::test::TempDir>();
    m_mapPath = m_dir->Write("base.map", W(kMap));
  }
  void cleanup() { m_dir.reset(); }

  void windowHasItsDesignShape() {
    TfrmVariab chooser;
    QCOMPARE(chooser.windowTitle(), QStringLiteral("Категории"));
    QCOMPARE(chooser.size(), QSize(269, 235));
    QVERIFY(chooser.windowFlags() & Qt::Tool);
    QVERIFY(!(chooser.windowFlags() & Qt::WindowMinimizeButtonHint));
    QCOMPARE(chooser.btnSelect->text(), QStringLiteral("Выбрать"));
    QCOMPARE(chooser.btnCancel->text(), QStringLiteral("Отмена"));
    QVERIFY(chooser.btnSelect->isDefault());
    QCOMPARE(chooser.btnSelect->width(), 133);
    QCOMPARE(chooser.btnCancel->width(), 133);
    QCOMPARE(chooser.tvCateg->height(), 205);
    QCOMPARE(chooser.tvCateg->indentation(), 19);
  }

  void treeShowsListsWithCategoriesOnly() {
    TfrmVariab chooser;
    chooser.SetMapPath(m_mapPath);
    chooser.show();
    // Simple variables, a list with an empty section and everything after
    // the gap stay out; the first list is selected.
    QCOMPARE(TopLevelTexts(chooser.tvCateg),
             (QStringList{QStringLiteral("Компьютеры"), QStringLiteral("Дома")}));
    QCOMPARE(ChildTexts(chooser.tvCateg->topLevelItem(0)),
             (QStringList{QStringLiteral("Ноутбуки"), QStringLiteral("Мониторы")}));
    QCOMPARE(chooser.tvCateg->currentItem(), chooser.tvCateg->topLevelItem(0));
  }

  void closingGivesItsResult_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("child");  // -1: the list itself
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("boxText");

    QTest::newRow("category") << 0 << 0 << "select" << true << QByteArray(W("Ноутбуки$comp").c_str())
                              << QStringLiteral("Ноутбуки (Компьютеры)");
    QTest::newRow("second category of second list")
        << 1 << 0 << "select" << true << QByteArray(W("Квартиры$house").c_str())
        << QStringLiteral("Квартиры (Дома)");
    QTest::newRow("whole list") << 0 << -1 << "select" << true << QByteArray("$comp")
                                << QStringLiteral("Компьютеры");
    QTest::newRow("enter in the tree") << 0 << 1 << "enter" << true << QByteArray(W("Мониторы$comp").c_str())
                                       << QStringLiteral("Мониторы (Компьютеры)");
    QTest::newRow("cancel") << 0 << 0 << "cancel" << false << QByteArray() << QString();
    QTest::newRow("escape") << 0 << 0 << "escape" << false << QByteArray() << QString();
    QTest::newRow("close box") << 0 << 0 << "close" << false << QByteArray() << QString();
  }

  void closingGivesItsResult() {
    QFETCH(int, list);
    QFETCH(int, child);
    QFETCH(QString, how);
    QFETCH(bool, confirmed);
    QFETCH(QByteArray, value);
    QFETCH(QString, boxText);

    QLineEdit box;
    box.setText(QStringLiteral("как было"));
    box.show();
    TfrmVariab chooser;
    std::optional<adw::engine::ChosenCategory> chosen;
    QTimer::singleShot(0, &chooser, [&] {
      QTreeWidgetItem* top = chooser.tvCateg->topLevelItem(list);
      chooser.tvCateg->setCurrentItem(child < 0 ? top : top->child(child));
      if (how == "select") chooser.btnSelect->click();
      if (how == "enter") QTest::keyClick(chooser.tvCateg, Qt::Key_Return);
      if (how == "cancel") chooser.btnCancel->click();
      if (how == "escape") QTest::keyClick(&chooser, Qt::Key_Escape);
      if (how == "close") chooser.close();
    });
    chosen = adw::ui::ChooseCategory(&chooser, &box, m_mapPath);

    QCOMPARE(chosen.has_value(), confirmed);
    QCOMPARE(chooser.result(), confirmed ? QDialog::Accepted : QDialog::Rejected);
    if (confirmed) {
      QCOMPARE(QByteArray(adw::engine::CategoryValue(*chosen).c_str()), value);
      QCOMPARE(QString::fromStdString(adw::platform::Cp1251ToUtf8(adw::engine::CategoryBoxText(*chosen))),
               boxText);
    }
    // The chooser keeps its result and selection after closing.
    QVERIFY(chooser.SelectedCategory().has_value());
  }

  void opensJustBelowTheBox() {
    QWidget host;
    host.setGeometry(100, 120, 400, 300);
    auto* box = new QLineEdit(&host);
    box->setGeometry(30, 40, 200, 22);
    host.show();
    TfrmVariab chooser;
    QTimer::singleShot(0, &chooser, [&] { chooser.btnCancel->click(); });
    adw::ui::ChooseCategory(&chooser, box, m_mapPath);
    QCOMPARE(chooser.pos(), box->mapToGlobal(QPoint(0, box->height())));
  }

  void eachShowingRebuildsAndSelectsTheFirstList() {
    TfrmVariab chooser;
    chooser.SetMapPath(m_mapPath);
    chooser.show();
    chooser.tvCateg->setCurrentItem(chooser.tvCateg->topLevelItem(1)->child(0));
    chooser.hide();
    chooser.show();
    QCOMPARE(TopLevelTexts(chooser.tvCateg),
             (QStringList{QStringLiteral("Компьютеры"), QStringLiteral("Дома")}));
    QCOMPARE(chooser.tvCateg->topLevelItem(0)->childCount(), 2);
    QCOMPARE(chooser.tvCateg->currentItem(), chooser.tvCateg->topLevelItem(0));
  }

  void missingOrEmptyMapGivesEmptyTreeAndNoChoice_data() {
    QTest::addColumn<QString>("mapText");  // empty: no map file at all
    QTest::newRow("no map") << QString();
    QTest::newRow("map without lists") << QStringLiteral("[Variab]\nitem1=Имя$NAME$\n");
  }

  void missingOrEmptyMapGivesEmptyTreeAndNoChoice() {
    QFETCH(QString, mapText);
    adw::test::TempDir dir;
    const std::string mapPath =
        mapText.isEmpty() ? dir.File("base.map") : dir.Write("base.map", W(mapText.toStdString()));
    TfrmVariab chooser;
    std::optional<adw::engine::ChosenCategory> chosen;
    QTimer::singleShot(0, &chooser, [&] { chooser.btnSelect->click(); });
    chosen = adw::ui::ChooseCategory(&chooser, nullptr, mapPath);
    QCOMPARE(chooser.tvCateg->topLevelItemCount(), 0);
    QVERIFY(!chosen.has_value());
  }
};

QTEST_MAIN(TestCategoryChooser)
#include "test_category_chooser.moc"
