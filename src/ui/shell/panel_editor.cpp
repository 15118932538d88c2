// pRedo: the ad editor's subject, category, report directory and fields.
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

#include "ui/shell/main_window.h"
#include "ui/shell/panel_parts.h"

namespace adw::ui {

QWidget* TfrmMain::BuildEditorPanel() {
  pRedo = new QWidget;
  pRedo->setObjectName(QStringLiteral("pRedo"));
  auto* layout = new QGridLayout(pRedo);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setVerticalSpacing(6);

  EdTema = new QLineEdit(pRedo);
  EdTema->setObjectName(QStringLiteral("EdTema"));

  cbCateg = new QLineEdit;
  cbCateg->setObjectName(QStringLiteral("cbCateg"));
  cbCateg->setReadOnly(true);  // chosen with the "…" button only
  cbCateg->setToolTip(QStringLiteral("Выбор категории (обязательно)"));
  cbCategButton = new QToolButton;
  cbCategButton->setObjectName(QStringLiteral("cbCategButton"));
  cbCategButton->setToolTip(cbCateg->toolTip());
  QWidget* categRow = MakeBoxWithButton(cbCateg, cbCategButton, pRedo);

  deRepCat = new QLineEdit;
  deRepCat->setObjectName(QStringLiteral("deRepCat"));
  deRepCatButton = new QToolButton;
  deRepCatButton->setObjectName(QStringLiteral("deRepCatButton"));
  QWidget* repCatRow = MakeBoxWithButton(deRepCat, deRepCatButton, pRedo);
  connect(deRepCatButton, &QToolButton::clicked, this, [this] {
    const QString dir =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Каталог для отчета"), deRepCat->text());
    if (!dir.isEmpty()) deRepCat->setText(dir);
  });

  DBGridFields = new QTableView(pRedo);
  DBGridFields->setObjectName(QStringLiteral("DBGridFields"));
  SetUpGrid(DBGridFields, {QStringLiteral("Имя поля"), QStringLiteral("Значение")});
  DBGridFields->setColumnWidth(0, 131);
  DBGridFields->setColumnWidth(1, 448);
  DBGridFields->installEventFilter(this);

  layout->addWidget(MakeLabel(QStringLiteral("Наименование проекта :"), pRedo, QStringLiteral("lbTema")), 0,
                    0);
  layout->addWidget(EdTema, 0, 1);
  layout->addWidget(MakeLabel(QStringLiteral("Категория :"), pRedo, QStringLiteral("lbCateg")), 1, 0);
  layout->addWidget(categRow, 1, 1);
  layout->addWidget(MakeLabel(QStringLiteral("Каталог для отчета"), pRedo, QStringLiteral("lbRepCat")), 2, 0);
  layout->addWidget(repCatRow, 2, 1);
  layout->addWidget(MakeLabel(QStringLiteral("Поля сообщений :"), pRedo, QStringLiteral("lbFields")), 3, 0, 1,
                    2);
  layout->addWidget(DBGridFields, 4, 0, 1, 2);
  layout->setRowStretch(4, 1);

  // A way out of the editor that keeps the store as it was; Esc does the
  // same when no control has a use for it.
  btnRedoCancel = new QPushButton(QStringLiteral("Отмена"), pRedo);
  btnRedoCancel->setObjectName(QStringLiteral("btnRedoCancel"));
  btnRedoCancel->setAutoDefault(false);
  layout->addWidget(btnRedoCancel, 5, 1, Qt::AlignRight);
  new PanelButtons(pRedo, nullptr, btnRedoCancel);
  layout->setColumnStretch(1, 1);
  return pRedo;
}

}  // namespace adw::ui
