// pNSTR: the configuration. Every control with a key in the settings file
// keeps the component name that key is formed from.
#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine/journal/journal_settings.h"
#include "ui/shell/main_window.h"
#include "ui/shell/panel_parts.h"
#include "ui/shell/product_info.h"
#include "ui/shell/time_out_box.h"

namespace adw::ui {

namespace {

QCheckBox* CheckBox(const QString& caption, const QString& name, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

// A masked box sized to its places.
QLineEdit* MaskedBox(const QString& name, const QString& mask, int places, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setInputMask(mask);
  const int charWidth = edit->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  edit->setFixedWidth(charWidth * places + 16);
  new MaskedBoxCursor(edit);
  return edit;
}

}  // namespace

QWidget* TfrmMain::BuildConfigPanel() {
  pNSTR = new QWidget;
  pNSTR->setObjectName(QStringLiteral("pNSTR"));
  auto* panelLayout = new QVBoxLayout(pNSTR);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  // The panel holds more than the smallest window shows; it scrolls then
  // instead of squeezing its boxes.
  auto* scroll = new QScrollArea(pNSTR);
  scroll->setObjectName(QStringLiteral("sbNSTR"));
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  panelLayout->addWidget(scroll);
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("pNSTRContent"));
  scroll->setWidget(content);
  auto* layout = new QGridLayout(content);
  layout->setContentsMargins(6, 4, 6, 6);

  // " Общие "
  auto* gbCommon = new QGroupBox(QStringLiteral(" Общие "), content);
  gbCommon->setObjectName(QStringLiteral("gbCommon"));
  auto* common = new QGridLayout(gbCommon);
  edSiteURL = new QLineEdit(kMakerSiteUrl, gbCommon);
  edSiteURL->setObjectName(QStringLiteral("edSiteURL"));
  edSiteURL->setCursorPosition(0);
  edSiteURL->setMinimumWidth(60);
  deScript = new QLineEdit;
  deScript->setObjectName(QStringLiteral("deScript"));
  deScript->setMinimumWidth(60);
  deScriptButton = new QToolButton;
  deScriptButton->setObjectName(QStringLiteral("deScriptButton"));
  QWidget* scriptRow = MakeBoxWithButton(deScript, deScriptButton, gbCommon);
  connect(deScriptButton, &QToolButton::clicked, this, [this] {
    const QString dir =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Каталог скриптов"), deScript->text());
    if (!dir.isEmpty()) deScript->setText(dir);
  });
  cbState = CheckBox(QStringLiteral("запускать свернув"), QStringLiteral("cbState"), gbCommon);
  RxSEdPost = new QSpinBox(gbCommon);
  RxSEdPost->setObjectName(QStringLiteral("RxSEdPost"));
  RxSEdPost->setRange(3, 30);
  RxSEdPost->setValue(3);
  // Arrows only: the count is never typed.
  if (auto* text = RxSEdPost->findChild<QLineEdit*>()) text->setReadOnly(true);
  cbTime = CheckBox(QStringLiteral("время запуска"), QStringLiteral("cbTime"), gbCommon);
  edData = new QDateEdit(QDate::currentDate(), gbCommon);
  edData->setObjectName(QStringLiteral("edData"));
  edData->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
  edData->setCalendarPopup(true);
  // Hours may have one digit, minutes and seconds need two; "_" marks an
  // empty place.
  medTime = MaskedBox(QStringLiteral("medTime"), QStringLiteral("09:99:99;_"), 8, gbCommon);

  common->setVerticalSpacing(4);
  common->addWidget(MakeLabel(QStringLiteral("Сайт производителя"), gbCommon, QStringLiteral("lbSiteURL")), 0,
                    0);
  common->addWidget(edSiteURL, 0, 1);
  common->addWidget(MakeLabel(QStringLiteral("Каталог скриптов"), gbCommon, QStringLiteral("lbScript")), 1,
                    0);
  common->addWidget(scriptRow, 1, 1);
  common->addWidget(cbState, 2, 0, 1, 2);
  common->addWidget(MakeLabel(QStringLiteral("кол. потоков"), gbCommon, QStringLiteral("lbPost")), 3, 0);
  common->addWidget(RxSEdPost, 3, 1, Qt::AlignLeft);
  // The start date and time stand one above the other so that the two
  // groups fit side by side in the smallest window.
  common->addWidget(cbTime, 4, 0);
  common->addWidget(edData, 4, 1, Qt::AlignLeft);
  common->addWidget(medTime, 5, 1, Qt::AlignLeft);
  common->setColumnStretch(1, 1);
  common->setRowStretch(6, 1);

  // " Специальные "
  auto* gbSpecial = new QGroupBox(QStringLiteral(" Специальные "), content);
  gbSpecial->setObjectName(QStringLiteral("gbSpecial"));
  auto* special = new QGridLayout(gbSpecial);
  EdProxy = new QLineEdit(gbSpecial);
  EdProxy->setObjectName(QStringLiteral("EdProxy"));
  EdProxy->setMinimumWidth(60);
  EdProxyPort = MaskedBox(QStringLiteral("EdProxyPort"), QStringLiteral("#####; "), 5, gbSpecial);
  // '0' places take digits only; '#' would let a sign in.
  edTimeOut = MaskedBox(QStringLiteral("edTimeOut"), QStringLiteral("000; "), 3, gbSpecial);
  SetUpTimeOutBox(edTimeOut);
  edTimeOut->setText(QStringLiteral("20"));
  cbUseProxy =
      CheckBox(QStringLiteral("использовать прокси-сервер"), QStringLiteral("cbUseProxy"), gbSpecial);
  cbUpDate = CheckBox(QStringLiteral("проверять новые версии"), QStringLiteral("cbUpDate"), gbSpecial);
  cbLogFile = CheckBox(QStringLiteral("вести журнал"), QStringLiteral("cbLogFile"), gbSpecial);
  RxSEdDays = new QSpinBox(gbSpecial);
  RxSEdDays->setObjectName(QStringLiteral("RxSEdDays"));
  RxSEdDays->setRange(1, 30);
  RxSEdDays->setValue(1);
  cbReports = CheckBox(QStringLiteral("создавать отчеты"), QStringLiteral("cbReports"), gbSpecial);
  RxSEdHostLimit = new QSpinBox(gbSpecial);
  RxSEdHostLimit->setObjectName(QStringLiteral("RxSEdHostLimit"));
  RxSEdHostLimit->setRange(1, 30);
  RxSEdHostLimit->setValue(2);

  special->setVerticalSpacing(4);
  special->addWidget(MakeLabel(QStringLiteral("Прокси-сервер"), gbSpecial, QStringLiteral("lbProxy")), 0, 0);
  special->addWidget(EdProxy, 0, 1, 1, 3);
  special->addWidget(MakeLabel(QStringLiteral("порт"), gbSpecial, QStringLiteral("lbProxyPort")), 1, 0);
  special->addWidget(EdProxyPort, 1, 1, Qt::AlignLeft);
  special->addWidget(MakeLabel(QStringLiteral("тайм-аут"), gbSpecial, QStringLiteral("lbTimeOut")), 1, 2,
                     Qt::AlignRight);
  special->addWidget(edTimeOut, 1, 3, Qt::AlignLeft);
  special->addWidget(cbUseProxy, 2, 0, 1, 4);
  special->addWidget(cbUpDate, 3, 0, 1, 4);
  special->addWidget(cbLogFile, 4, 0, 1, 4);
  auto* daysRow = new QHBoxLayout;
  daysRow->addWidget(MakeLabel(QStringLiteral("журнал хранить (дней)"), gbSpecial, QStringLiteral("lbDays")));
  daysRow->addWidget(RxSEdDays);
  daysRow->addStretch(1);
  special->addLayout(daysRow, 5, 0, 1, 4);
  special->addWidget(cbReports, 6, 0, 1, 4);
  auto* hostLimitRow = new QHBoxLayout;
  hostLimitRow->addWidget(
      MakeLabel(QStringLiteral("запросов к одному серверу"), gbSpecial, QStringLiteral("lbHostLimit")));
  hostLimitRow->addWidget(RxSEdHostLimit);
  hostLimitRow->addStretch(1);
  special->addLayout(hostLimitRow, 7, 0, 1, 4);
  // The extra CA file that https trusts beside the system store; read and
  // written with the settings file, not with the stored control values.
  edCAFile = new QLineEdit(gbSpecial);
  edCAFile->setObjectName(QStringLiteral("edCAFile"));
  edCAFile->setMinimumWidth(60);
  edCAFile->setToolTip(
      QStringLiteral("Файл сертификатов (PEM), которым доверять для https помимо системных"));
  special->addWidget(MakeLabel(QStringLiteral("Сертификаты CA"), gbSpecial, QStringLiteral("lbCAFile")), 8,
                     0);
  special->addWidget(edCAFile, 8, 1, 1, 3);
  RxSEdRepeatDays = new QSpinBox(gbSpecial);
  RxSEdRepeatDays->setObjectName(QStringLiteral("RxSEdRepeatDays"));
  RxSEdRepeatDays->setRange(0, adw::engine::kMaxRepeatDays);
  RxSEdRepeatDays->setValue(adw::engine::ReadRepeatDays(m_settingsPath));
  RxSEdRepeatDays->setToolTip(QStringLiteral("0: размещать, не глядя в журнал"));
  auto* repeatRow = new QHBoxLayout;
  repeatRow->addWidget(
      MakeLabel(QStringLiteral("не повторять ранее, чем через"), gbSpecial, QStringLiteral("lbRepeatDays")));
  repeatRow->addWidget(RxSEdRepeatDays);
  repeatRow->addWidget(MakeLabel(QStringLiteral("дней"), gbSpecial, QStringLiteral("lbRepeatDaysUnit")));
  repeatRow->addStretch(1);
  special->addLayout(repeatRow, 9, 0, 1, 4);
  special->setColumnStretch(2, 1);

  // " Переменные "
  auto* gbVariables = new QGroupBox(QStringLiteral(" Переменные "), content);
  gbVariables->setObjectName(QStringLiteral("gbVariables"));
  auto* variables = new QVBoxLayout(gbVariables);
  cbTemplate = CheckBox(QStringLiteral("использовать переменные"), QStringLiteral("cbTemplate"), gbVariables);
  DBGridTemplate = new QTableView(gbVariables);
  DBGridTemplate->setObjectName(QStringLiteral("DBGridTemplate"));
  SetUpGrid(DBGridTemplate, {QStringLiteral("Переменная"), QStringLiteral("Значение переменной")});
  DBGridTemplate->setColumnWidth(0, 160);
  DBGridTemplate->horizontalHeader()->setStretchLastSection(true);
  // Enough for a few variables: below that the panel scrolls instead.
  DBGridTemplate->setMinimumHeight(DBGridTemplate->verticalHeader()->defaultSectionSize() * 4 +
                                   DBGridTemplate->horizontalHeader()->sizeHint().height() + 4);
  variables->addWidget(cbTemplate);
  variables->addWidget(DBGridTemplate, 1);

  layout->addWidget(gbCommon, 0, 0);
  layout->addWidget(gbSpecial, 0, 1);
  layout->addWidget(gbVariables, 1, 0, 1, 2);
  layout->setRowStretch(1, 1);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(1, 1);
  return pNSTR;
}

}  // namespace adw::ui
