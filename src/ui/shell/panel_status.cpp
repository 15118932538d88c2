// pViewStat: the counters and the progress of a posting run, with Start
// and Stop in the same place.
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/shell/main_window.h"
#include "ui/shell/panel_parts.h"

namespace adw::ui {

namespace {

QLabel* ValueLabel(const QString& name, QWidget* parent) {
  auto* label = MakeLabel(QStringLiteral("0"), parent, name);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

QWidget* TfrmMain::BuildStatusPanel() {
  pViewStat = new QWidget;
  pViewStat->setObjectName(QStringLiteral("pViewStat"));
  // The counters scroll rather than squeeze once the window is small.
  QWidget* content = MakeScrollingPanel(pViewStat, QStringLiteral("sbViewStat"));
  auto* outer = new QVBoxLayout(content);
  outer->setContentsMargins(16, 12, 16, 12);

  auto* counters = new QGridLayout;
  counters->setHorizontalSpacing(12);
  counters->setVerticalSpacing(8);
  lbMessageCnt = ValueLabel(QStringLiteral("lbMessageCnt"), pViewStat);
  lbProcessCnt = ValueLabel(QStringLiteral("lbProcessCnt"), pViewStat);
  lbSuccessMsg = ValueLabel(QStringLiteral("lbSuccessMsg"), pViewStat);
  lbFailMsg = ValueLabel(QStringLiteral("lbFailMsg"), pViewStat);
  lbUnconfirmedMsg = ValueLabel(QStringLiteral("lbUnconfirmedMsg"), pViewStat);
  lbCurrentMsg = MakeLabel(QString(), pViewStat, QStringLiteral("lbCurrentMsg"));
  // A long URL must not widen the window.
  lbCurrentMsg->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  lbCurrentMsg->setTextInteractionFlags(Qt::TextSelectableByMouse);

  QLabel* success = MakeLabel(QStringLiteral("Удачных размещений :"), pViewStat, QStringLiteral("lbSuccess"));
  QLabel* fail = MakeLabel(QStringLiteral("Неудачных размещений :"), pViewStat, QStringLiteral("lbFail"));
  success->setStyleSheet(QStringLiteral("color: #008000;"));
  lbSuccessMsg->setStyleSheet(QStringLiteral("color: #008000;"));
  fail->setStyleSheet(QStringLiteral("color: #FF0000;"));
  lbFailMsg->setStyleSheet(QStringLiteral("color: #FF0000;"));

  counters->addWidget(
      MakeLabel(QStringLiteral("Количество проектов :"), pViewStat, QStringLiteral("lbMessages")), 0, 0);
  counters->addWidget(lbMessageCnt, 0, 1);
  counters->addWidget(
      MakeLabel(QStringLiteral("Количество потоков :"), pViewStat, QStringLiteral("lbProcesses")), 1, 0);
  counters->addWidget(lbProcessCnt, 1, 1);
  counters->addWidget(success, 2, 0);
  counters->addWidget(lbSuccessMsg, 2, 1);
  counters->addWidget(fail, 3, 0);
  counters->addWidget(lbFailMsg, 3, 1);
  QLabel* unconfirmed =
      MakeLabel(QStringLiteral("Не подтверждено :"), pViewStat, QStringLiteral("lbUnconfirmed"));
  unconfirmed->setStyleSheet(QStringLiteral("color: #C06000;"));
  lbUnconfirmedMsg->setStyleSheet(QStringLiteral("color: #C06000;"));
  counters->addWidget(unconfirmed, 4, 0);
  counters->addWidget(lbUnconfirmedMsg, 4, 1);
  counters->addWidget(
      MakeLabel(QStringLiteral("Текущее размещение :"), pViewStat, QStringLiteral("lbCurrent")), 5, 0);
  counters->addWidget(lbCurrentMsg, 5, 1);
  counters->setColumnStretch(1, 1);
  outer->addLayout(counters);
  outer->addSpacing(12);

  pbStat = new QProgressBar(pViewStat);
  pbStat->setObjectName(QStringLiteral("pbStat"));
  pbStat->setRange(0, 1000);
  pbStat->setValue(0);
  pbStat->setTextVisible(false);  // lbProg shows the percentage
  outer->addWidget(pbStat);
  lbProg = MakeLabel(QStringLiteral("0%"), pViewStat, QStringLiteral("lbProg"));
  lbProg->setAlignment(Qt::AlignHCenter);
  outer->addWidget(lbProg);
  outer->addSpacing(8);

  btnStart = new QPushButton(QStringLiteral("Старт"), pViewStat);
  btnStart->setObjectName(QStringLiteral("btnStart"));
  btnStop = new QPushButton(QStringLiteral("Стоп"), pViewStat);
  btnStop->setObjectName(QStringLiteral("btnStop"));
  for (QPushButton* button : {btnStart, btnStop}) button->setMinimumSize(120, 30);
  // Both buttons share one place; a stacked layout would show one
  // whatever their visibility, so a plain grid cell holds both instead.
  auto* buttons = new QGridLayout;
  buttons->addWidget(btnStart, 0, 0, Qt::AlignHCenter);
  buttons->addWidget(btnStop, 0, 0, Qt::AlignHCenter);
  btnStop->hide();
  outer->addLayout(buttons);
  // The run journal's two controls under the buttons.
  btnRetry = new QPushButton(QStringLiteral("Повторить неудачные"), pViewStat);
  btnRetry->setObjectName(QStringLiteral("btnRetry"));
  cbForce = new QCheckBox(QStringLiteral("размещать повторно, не глядя в журнал"), pViewStat);
  cbForce->setObjectName(QStringLiteral("cbForce"));
  auto* journalRow = new QHBoxLayout;
  journalRow->addStretch(1);
  journalRow->addWidget(btnRetry);
  journalRow->addWidget(cbForce);
  journalRow->addStretch(1);
  outer->addLayout(journalRow);
  outer->addStretch(1);
  return pViewStat;
}

}  // namespace adw::ui
