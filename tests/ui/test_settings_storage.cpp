// The main window and its settings file: design values on a first start,
// the file written at close, the values restored at the next start, the
// configuration save, and settings files that cannot be read or written.
#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <memory>
#include <string>

#include "engine/shell/form_storage.h"
#include "engine/shell/settings_file.h"
#include "platform/profile.h"
#include "platform/text1251.h"
#include "ui/shell/main_window.h"
#include "ui/shell/product_info.h"
#include "ui/shell/settings_storage.h"
#include "ui/text_convert.h"

using adw::ui::TfrmMain;

namespace {

// A window over a settings file, with its messages collected instead of
// shown in message boxes.
struct Window {
  explicit Window(const QString& settingsPath) : w(std::make_unique<TfrmMain>(settingsPath.toStdString())) {
    w->SetUserHooks({[this](const QString& text) { errors << text; }, [](QDialog&) { return 1; }});
  }
  TfrmMain* operator->() const { return w.get(); }
  // Declared first so that messages of the window's last save, shown while
  // it is destroyed, still have a place to go.
  QStringList errors;
  std::unique_ptr<TfrmMain> w;
};

std::string Stored(const QString& path, const char* key) {
  return adw::platform::IniFile(path.toStdString()).ReadString("Save", key, "<absent>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

// Every control of the window as a first start shows it.
void VerifyDesignValues(TfrmMain& w) {
  QCOMPARE(w.windowTitle(), QStringLiteral("Adwelder ver. 1.1 "));
  QCOMPARE(w.lbBuild->text(), QStringLiteral("ver. 1.1 "));
  QCOMPARE(w.edSiteURL->text(), adw::ui::kMakerSiteUrl);
  QCOMPARE(w.deScript->text(), QString());
  QCOMPARE(w.RxSEdPost->value(), 3);
  QCOMPARE(w.edData->date(), QDate::currentDate());
  QCOMPARE(w.medTime->displayText(), QStringLiteral("__:__:__"));
  QCOMPARE(w.EdProxy->text(), QString());
  QCOMPARE(w.EdProxyPort->displayText(), QStringLiteral("     "));
  QCOMPARE(w.edTimeOut->displayText(), QStringLiteral("20 "));
  QCOMPARE(w.RxSEdDays->value(), 1);
  for (QCheckBox* box :
       {w.cbState, w.cbTime, w.cbUseProxy, w.cbUpDate, w.cbLogFile, w.cbReports, w.cbTemplate})
    QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
  QCOMPARE(w.cbCateg->text(), QString());
  QCOMPARE(w.deRepCat->text(), QString());
  QCOMPARE(w.PanelInFront(), w.pTree);
  QCOMPARE(w.ViewMode(), adw::ui::vmProjects);
  QVERIFY(!w.mmRedoSave->isEnabled());
  QVERIFY(!w.sbtnSave->isEnabled());
  QVERIFY(w.mmRedoNew->isEnabled());
  QCOMPARE(w.StatusText(), QString());
  QVERIFY(!w.IsTrayActive());
}

}  // namespace

class TestSettingsStorage : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;
  QString m_path;

 private slots:
  void init() {
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("adwelder.ini"));
    QFile::remove(m_path);
  }

  void firstStartShowsDesignValuesAndCloseWritesEveryKey() {
    Window w(m_path);
    w->show();
    VerifyDesignValues(*w.w);
    QVERIFY(!QFile::exists(m_path));
    w->close();
    QVERIFY(w.errors.isEmpty());

    QVERIFY(QFile::exists(m_path));
    const adw::platform::IniFile ini(m_path.toStdString());
    QCOMPARE(ini.SectionNames(), std::vector<std::string>{"Save"});
    const std::vector<std::string> expected = {
        "Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos", "NormPos", "Visible", "cbCateg_Text",
        "cbLogFile_Checked", "cbReports_Checked", "cbState_Checked", "cbTemplate_Checked", "cbTime_Checked",
        "cbUpDate_Checked", "cbUseProxy_Checked", "deRepCat_Text", "deScript_Text", "EdProxy_Text",
        "EdProxyPort_Text", "edSiteURL_Text", "edTimeOut_Text", "medTime_Text",
        // The layout kept for the next start follows the stored values.
        "spTree_Sizes", "spHTMLView_Sizes", "DBGridFields_Widths", "DBGridTemplate_Widths"};
    QCOMPARE(ini.ReadSectionKeys("Save"), expected);
    QCOMPARE(Stored(m_path, "edTimeOut_Text"), std::string("20"));
    QCOMPARE(Stored(m_path, "medTime_Text"), std::string(":  :"));
    QCOMPARE(Stored(m_path, "EdProxyPort_Text"), std::string());
    QCOMPARE(Stored(m_path, "cbLogFile_Checked"), std::string("False"));
    QCOMPARE(Stored(m_path, "edSiteURL_Text"), adw::ui::FromQ(adw::ui::kMakerSiteUrl));
    QCOMPARE(Stored(m_path, "ShowCmd"), std::string("1"));
  }

  void windowNeverShownLeavesFileUntouched() {
    { Window w(m_path); }
    QVERIFY(!QFile::exists(m_path));
  }

  void nextStartRestoresStoredValues() {
    const QString category = QStringLiteral("Ноутбуки (Компьютеры)");
    {
      Window w(m_path);
      w->show();
      w->cbCateg->setText(category);
      w->deRepCat->setText(QStringLiteral("/tmp/Отчеты"));
      w->deScript->setText(QStringLiteral("  /srv/boards  "));
      w->EdProxy->setText(QStringLiteral("proxy.local"));
      w->EdProxyPort->setText(QStringLiteral("8080"));
      w->edTimeOut->setText(QStringLiteral("45"));
      w->medTime->setText(QStringLiteral("12:30:00"));
      w->edSiteURL->setText(QStringLiteral("http://boards.example.org/"));
      for (QCheckBox* box :
           {w->cbLogFile, w->cbReports, w->cbState, w->cbTemplate, w->cbTime, w->cbUpDate, w->cbUseProxy})
        box->setChecked(true);
      w->RxSEdPost->setValue(7);
      w->close();
      QVERIFY(w.errors.isEmpty());
    }
    QCOMPARE(Stored(m_path, "deScript_Text"), std::string("/srv/boards"));
    QCOMPARE(Stored(m_path, "EdProxyPort_Text"), std::string("8080"));
    QCOMPARE(Stored(m_path, "cbCateg_Text"), adw::platform::W("Ноутбуки (Компьютеры)"));

    Window w(m_path);
    QSignalSpy timeClicks(w->cbTime, &QCheckBox::toggled);
    w->show();
    QCOMPARE(w->cbCateg->text(), category);
    QCOMPARE(w->deRepCat->text(), QStringLiteral("/tmp/Отчеты"));
    QCOMPARE(w->deScript->text(), QStringLiteral("/srv/boards"));
    QCOMPARE(w->EdProxy->text(), QStringLiteral("proxy.local"));
    QCOMPARE(w->EdProxyPort->displayText(), QStringLiteral("8080 "));
    QCOMPARE(w->edTimeOut->displayText(), QStringLiteral("45 "));
    QCOMPARE(w->medTime->displayText(), QStringLiteral("12:30:00"));
    QCOMPARE(w->edSiteURL->text(), QStringLiteral("http://boards.example.org/"));
    for (QCheckBox* box :
         {w->cbLogFile, w->cbReports, w->cbState, w->cbTemplate, w->cbTime, w->cbUpDate, w->cbUseProxy})
      QVERIFY2(box->isChecked(), qPrintable(box->objectName()));
    // Restoring the tick of cbTime runs its handler as a click would.
    QCOMPARE(timeClicks.count(), 1);
    // A thread count not saved with the configuration is not kept, nor
    // is the start date.
    QCOMPARE(w->RxSEdPost->value(), 3);
    QCOMPARE(w->edData->date(), QDate::currentDate());
  }

  void storedTimeOutGetsItsBlankBack() {
    WriteFile(m_path, "[Save]\r\nedTimeOut_Text=20\r\nEdProxyPort_Text=  81  \r\n");
    Window w(m_path);
    w->show();
    QCOMPARE(w->edTimeOut->displayText(), QStringLiteral("20 "));
    QCOMPARE(w->EdProxyPort->displayText(), QStringLiteral("81   "));
    // The posting threads read the same key directly: 20 seconds.
    QCOMPARE(adw::engine::ReadPostingSettings(m_path.toStdString()).timeOutMs, 20000);
  }

  void checkBoxValueForms_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("before");
    QTest::addColumn<bool>("afterRestore");
    QTest::addColumn<bool>("directRead");
    QTest::newRow("True") << QByteArray("True") << false << true << true;
    QTest::newRow("false in lower case") << QByteArray("false") << true << false << false;
    QTest::newRow("1 leaves the box") << QByteArray("1") << false << false << true;
    QTest::newRow("0 leaves the box") << QByteArray("0") << true << true << false;
    QTest::newRow("unknown word") << QByteArray("yes") << true << true << false;
    QTest::newRow("empty") << QByteArray("") << true << true << false;
  }

  void checkBoxValueForms() {
    QFETCH(QByteArray, value);
    QFETCH(bool, before);
    QFETCH(bool, afterRestore);
    QFETCH(bool, directRead);
    WriteFile(m_path, "[Save]\r\ncbUseProxy_Checked=" + value + "\r\n");
    Window w(m_path);
    w->cbUseProxy->setChecked(before);
    w->show();
    QCOMPARE(w->cbUseProxy->isChecked(), afterRestore);
    QCOMPARE(adw::engine::ReadSettingsBool(m_path.toStdString(), "cbUseProxy_Checked"), directRead);
  }

  void keysAreFormedFromTheControlsOwnNames_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("key");
    QTest::newRow("check box") << "cbUseProxy.Checked"
                               << "cbUseProxy_Checked";
    QTest::newRow("masked box") << "EdProxyPort.Text"
                                << "EdProxyPort_Text";
    QTest::newRow("other letter case, blanks") << " EDTIMEOUT . text "
                                               << "edTimeOut_Text";
    QTest::newRow("property the control lacks") << "cbState.Text"
                                                << "";
    QTest::newRow("no such control") << "cbNothing.Text"
                                     << "";
  }

  void keysAreFormedFromTheControlsOwnNames() {
    QFETCH(QString, entry);
    QFETCH(QString, key);
    Window w(m_path);
    adw::ui::MainFormStorageAdapter adapter(*w.w);
    adw::engine::FormStorage storage(adapter, m_path.toStdString(), {entry.toStdString()});
    const auto formed = storage.KeyOf(entry.toStdString());
    QCOMPARE(formed ? QString::fromStdString(*formed) : QString(), key);
  }

  void unusableSettingsFilesStartWithDesignValues_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("garbage bytes")
        << QByteArray("\x00\xff\xfe[\x01]=\x80\x81\r\n\x1a==[[]]\n", 19).repeated(50);
    QTest::newRow("keys outside the section")
        << QByteArray("edTimeOut_Text=99\r\n[Saved]\r\nEdProxy_Text=x\r\n");
    QTest::newRow("other section only") << QByteArray("[Other]\r\nEdProxy_Text=x\r\n");
    QTest::newRow("huge file") << QByteArray("[Junk]\r\n") + QByteArray("k=v\r\n").repeated(400000);
  }

  void unusableSettingsFilesStartWithDesignValues() {
    QFETCH(QByteArray, content);
    WriteFile(m_path, content);
    Window w(m_path);
    w->show();
    VerifyDesignValues(*w.w);
    QVERIFY(w.errors.isEmpty());
  }

  void oddStoredValuesAreTamed() {
    // A value over the 2,047 characters the file gives, letters in digit
    // places and a time that the mask cannot hold.
    WriteFile(m_path, "[Save]\r\nEdProxy_Text=" + QByteArray(10000, 'x') +
                          "\r\nedTimeOut_Text=abc\r\nmedTime_Text=ab:cd\r\nEdProxyPort_Text=1234567\r\n");
    Window w(m_path);
    w->show();
    QCOMPARE(w->EdProxy->text().size(), 2047);
    // A time-out the workers cannot take keeps the box's 20, which they wait
    // instead, and the status bar says what was refused.
    QCOMPARE(w->edTimeOut->displayText(), QStringLiteral("20 "));
    QVERIFY2(w->StatusText().contains(QStringLiteral("edTimeOut_Text=\"abc\"")), qPrintable(w->StatusText()));
    QCOMPARE(w->medTime->displayText(), QStringLiteral("__:__:__"));
    QCOMPARE(w->EdProxyPort->displayText(), QStringLiteral("12345"));
    QVERIFY(w.errors.isEmpty());
  }

  void timeOutBoxTakesOnlyDigitsKeptTogether() {
    WriteFile(m_path, "[Save]\r\nedTimeOut_Text=-5\r\n");
    Window w(m_path);
    w->show();
    QVERIFY(w->StatusText().contains(QStringLiteral("edTimeOut_Text=\"-5\"")));
    QLineEdit* box = w->edTimeOut;
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("-+e1x3"));
    QCOMPARE(box->displayText(), QStringLiteral("13 "));
    // Clearing a digit in the middle closes the gap.
    box->setText(QStringLiteral("123"));
    box->setCursorPosition(1);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->displayText(), QStringLiteral("13 "));
    w->close();
    QCOMPARE(Stored(m_path, "edTimeOut_Text"), std::string("13"));
  }

  void unreadableSettingsPathStartsAndReportsTheRefusedWrite() {
    // A directory where the file should be: nothing can be read from it
    // and nothing written to it.
    QVERIFY(QDir().mkpath(m_path));
    Window w(m_path);
    QSignalSpy closed(w.w.get(), &TfrmMain::Closed);
    w->show();
    VerifyDesignValues(*w.w);
    w->close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(w.errors, QStringList{QStringLiteral("Unable to write to ") + m_path});
    QDir(m_path).removeRecursively();
  }

  void refusedWriteAtCloseIsShownAndTheProgramCarriesOn_data() {
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing directory") << "missing/adwelder.ini";
    QTest::newRow("parent is a file") << "afile/adwelder.ini";
  }

  void refusedWriteAtCloseIsShownAndTheProgramCarriesOn() {
    QFETCH(QString, relative);
    WriteFile(m_dir.filePath(QStringLiteral("afile")), "not a directory");
    const QString path = m_dir.filePath(relative);
    {
      Window w(path);
      QSignalSpy closed(w.w.get(), &TfrmMain::Closed);
      w->show();
      w->close();
      QCOMPARE(closed.count(), 1);
      QCOMPARE(w.errors, QStringList{QStringLiteral("Unable to write to ") + path});
      w.errors.clear();
      w.w.reset();  // no second attempt and no second message when destroyed
      QVERIFY(w.errors.isEmpty());
    }
    QVERIFY(!QFile::exists(path));
  }

  void configurationSaveWritesItsKeysAndCloseRewritesThem() {
    Window w(m_path);
    w->show();
    w->sbtnConfig->click();
    QCOMPARE(w->ViewMode(), adw::ui::vmConfig);
    w->deScript->setText(QStringLiteral("/srv/boards"));
    w->EdProxy->setText(QStringLiteral("proxy.local"));
    w->EdProxyPort->setText(QStringLiteral("8080"));
    w->edTimeOut->setText(QStringLiteral("5"));
    w->cbUseProxy->setChecked(true);
    w->RxSEdPost->setValue(5);
    w->sbtnSave->click();
    QVERIFY(w.errors.isEmpty());

    QCOMPARE(Stored(m_path, "edSiteURL_Text"), adw::ui::FromQ(adw::ui::kMakerSiteUrl));
    QCOMPARE(Stored(m_path, "deScript_Text"), std::string("/srv/boards"));
    QCOMPARE(Stored(m_path, "EdProxy_Text"), std::string("proxy.local"));
    // The port is written as the box shows it, its unfilled place included
    // (readers trim it).
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("EdProxyPort_Text=8080 \r\n"));
    QCOMPARE(Stored(m_path, "edTimeOut_Text"), std::string("5"));
    QCOMPARE(Stored(m_path, "cbUseProxy_Checked"), std::string("1"));
    QCOMPARE(Stored(m_path, "cbLogFile_Checked"), std::string("0"));
    QCOMPARE(Stored(m_path, "RxSEdPost_Value"), std::string("5"));
    QCOMPARE(adw::engine::StoredScriptDir(m_path.toStdString()), std::string("/srv/boards/"));
    QVERIFY(adw::engine::ReadSettingsBool(m_path.toStdString(), "cbUseProxy_Checked"));
    // Save ends the editing state and returns to the projects.
    QCOMPARE(w->PanelInFront(), w->pTree);
    QCOMPARE(w->ViewMode(), adw::ui::vmProjects);
    QVERIFY(w->mmRedoNew->isEnabled());
    QVERIFY(!w->mmRedoSave->isEnabled());

    // A changed box is not the stored directory until the window closes.
    w->deScript->setText(QStringLiteral("/srv/other"));
    QCOMPARE(adw::engine::StoredScriptDir(m_path.toStdString()), std::string("/srv/boards/"));
    w->close();
    QCOMPARE(adw::engine::StoredScriptDir(m_path.toStdString()), std::string("/srv/other/"));
    QCOMPARE(Stored(m_path, "cbUseProxy_Checked"), std::string("True"));
    QCOMPARE(Stored(m_path, "EdProxyPort_Text"), std::string("8080"));
    QVERIFY(adw::engine::ReadSettingsBool(m_path.toStdString(), "cbUseProxy_Checked"));
  }

  // The extra CA file row is saved with the configuration and shown again
  // at the next start; the close does not write it a second time.
  void extraCaFileRowIsSavedAndShownAgain() {
    {
      Window w(m_path);
      w->show();
      QVERIFY(w->edCAFile->text().isEmpty());
      w->sbtnConfig->click();
      w->edCAFile->setText(QStringLiteral("/srv/ca.pem"));
      w->sbtnSave->click();
      QVERIFY(w.errors.isEmpty());
      QCOMPARE(Stored(m_path, "edCAFile_Text"), std::string("/srv/ca.pem"));
      w->close();
    }
    Window again(m_path);
    again->show();
    QCOMPARE(again->edCAFile->text(), QStringLiteral("/srv/ca.pem"));
    QCOMPARE(adw::engine::ReadPostingSettings(m_path.toStdString()).caFile, std::string("/srv/ca.pem"));
  }

  void hostLimitIsShownFromTheSettingsAndSavedWithTheConfiguration() {
    {
      // Left at its default, the limit adds no key to a file that had none.
      Window w(m_path);
      w->show();
      QCOMPARE(w->RxSEdHostLimit->value(), 2);
      w->sbtnConfig->click();
      w->sbtnSave->click();
      QVERIFY(w.errors.isEmpty());
      const auto keys = adw::platform::IniFile(m_path.toStdString()).ReadSectionKeys("Save");
      QVERIFY(std::find(keys.begin(), keys.end(), "HostLimit_Value") == keys.end());
      w->RxSEdHostLimit->setValue(7);
      w->sbtnConfig->click();
      w->sbtnSave->click();
      QCOMPARE(Stored(m_path, "HostLimit_Value"), std::string("7"));
      w->close();
    }
    Window w(m_path);
    w->show();
    QCOMPARE(w->RxSEdHostLimit->value(), 7);
    w->RxSEdHostLimit->setValue(2);
    w->sbtnConfig->click();
    w->sbtnSave->click();
    QCOMPARE(Stored(m_path, "HostLimit_Value"), std::string("2"));
  }

  void refusedConfigurationSaveIsShownAndLeavesTheWindowUsable() {
    const QString path = m_dir.filePath(QStringLiteral("missing/adwelder.ini"));
    Window w(path);
    w->show();
    w->mmOptionConfig->trigger();
    w->mmRedoSave->trigger();
    QCOMPARE(w.errors, QStringList{QStringLiteral("Unable to write to ") + path});
    // The normal command states came first; the commands work on.
    QVERIFY(w->mmRedoNew->isEnabled());
    w->mmViewProjects->trigger();
    QCOMPARE(w->PanelInFront(), w->pTree);
  }
};

QTEST_MAIN(TestSettingsStorage)
#include "test_settings_storage.moc"
