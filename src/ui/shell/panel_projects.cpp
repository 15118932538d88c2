// pTree: the board list at the left with its three tick buttons, the ad
// list at the right.
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/shell/main_window.h"
#include "ui/shell/panel_parts.h"

namespace adw::ui {

QWidget* TfrmMain::BuildProjectsPanel() {
  pTree = new QWidget;
  pTree->setObjectName(QStringLiteral("pTree"));
  auto* layout = new QVBoxLayout(pTree);
  layout->setContentsMargins(0, 0, 0, 0);

  spTree = new QSplitter(Qt::Horizontal, pTree);
  spTree->setObjectName(QStringLiteral("spTree"));
  spTree->setHandleWidth(3);
  spTree->setChildrenCollapsible(false);
  layout->addWidget(spTree);

  auto* left = new QWidget(spTree);
  left->setObjectName(QStringLiteral("pBoards"));
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->setSpacing(2);
  // With hundreds of boards a name is found by typing part of it.
  edFilter = new QLineEdit(left);
  edFilter->setObjectName(QStringLiteral("edFilter"));
  edFilter->setPlaceholderText(QStringLiteral("Фильтр досок"));
  edFilter->setToolTip(QStringLiteral("Показать только доски, в названии которых есть все набранные слова"));
  edFilter->setClearButtonEnabled(true);
  leftLayout->addWidget(edFilter);
  CLBMain = new QListWidget(left);
  CLBMain->setObjectName(QStringLiteral("CLBMain"));
  leftLayout->addWidget(CLBMain, 1);

  btnSelAll = new QPushButton(QStringLiteral("Выделить все"), left);
  btnSelAll->setObjectName(QStringLiteral("btnSelAll"));
  btnUnSelAll = new QPushButton(QStringLiteral("Отменить выделение"), left);
  btnUnSelAll->setObjectName(QStringLiteral("btnUnSelAll"));
  btnInvert = new QPushButton(QStringLiteral("Инвертировать"), left);
  btnInvert->setObjectName(QStringLiteral("btnInvert"));
  for (QPushButton* button : {btnSelAll, btnUnSelAll, btnInvert}) leftLayout->addWidget(button);

  DBGridMessage = new QTableView(spTree);
  DBGridMessage->setObjectName(QStringLiteral("DBGridMessage"));
  SetUpGrid(DBGridMessage, {QStringLiteral("Наименование проекта")});
  DBGridMessage->setShowGrid(false);
  DBGridMessage->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The one column is kept as wide as the grid (FormResize), so a
  // horizontal scroll bar would only ever show a few pixels.
  DBGridMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  DBGridMessage->setColumnWidth(0, 380);
  DBGridMessage->installEventFilter(this);

  spTree->addWidget(left);
  spTree->addWidget(DBGridMessage);
  spTree->setStretchFactor(0, 0);
  spTree->setStretchFactor(1, 1);
  spTree->setSizes({185, 412});
  return pTree;
}

}  // namespace adw::ui
