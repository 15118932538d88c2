// pViewResult: choose an ad, then view or clear its report.
#include <QGridLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>

#include "ui/shell/main_window.h"
#include "ui/shell/panel_parts.h"

namespace adw::ui {

QWidget* TfrmMain::BuildReportsPanel() {
  pViewResult = new QWidget;
  pViewResult->setObjectName(QStringLiteral("pViewResult"));
  auto* layout = new QGridLayout(pViewResult);
  layout->setContentsMargins(8, 8, 8, 8);

  RxDBLProject = new QListView(pViewResult);
  RxDBLProject->setObjectName(QStringLiteral("RxDBLProject"));
  RxDBLProject->setEditTriggers(QAbstractItemView::NoEditTriggers);

  btnViewRep = new QPushButton(QStringLiteral("Просмотр"), pViewResult);
  btnViewRep->setObjectName(QStringLiteral("btnViewRep"));
  btnViewRep->setDefault(true);
  btnEmpty = new QPushButton(QStringLiteral("Очистить"), pViewResult);
  btnEmpty->setObjectName(QStringLiteral("btnEmpty"));
  new PanelButtons(pViewResult, btnViewRep, nullptr);

  layout->addWidget(
      MakeLabel(QStringLiteral("Выберите проект для отчета"), pViewResult, QStringLiteral("lbChoose")), 0, 0);
  layout->addWidget(RxDBLProject, 1, 0, 3, 1);
  layout->addWidget(btnViewRep, 1, 1);
  layout->addWidget(btnEmpty, 2, 1);
  layout->setRowStretch(3, 1);
  layout->setColumnStretch(0, 1);
  return pViewResult;
}

}  // namespace adw::ui
