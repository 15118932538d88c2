// pAddDO: the add-board wizard's three pages and its button bar.
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/shell/main_window.h"
#include "ui/shell/panel_parts.h"
#include "ui/shell/product_info.h"
#include "ui/wizard/html_viewer.h"

namespace adw::ui {

namespace {

QWidget* GeneralPage(TfrmMain& w) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("General"));
  auto* form = new QFormLayout(page);
  form->setContentsMargins(12, 12, 12, 12);
  form->setVerticalSpacing(8);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

  w.cbURL = new QComboBox(page);
  w.cbURL->setObjectName(QStringLiteral("cbURL"));
  w.cbURL->setEditable(true);
  w.cbURL->setInsertPolicy(QComboBox::NoInsert);
  w.cbURL->setEditText(kWizardUrlPreset);

  w.rseFormNumber = new QSpinBox(page);
  w.rseFormNumber->setObjectName(QStringLiteral("rseFormNumber"));
  w.rseFormNumber->setRange(0, 999);
  w.rseFormNumber->setValue(1);

  w.edProjName = new QLineEdit(page);
  w.edProjName->setObjectName(QStringLiteral("edProjName"));

  w.cbCodePage = new QComboBox(page);
  w.cbCodePage->setObjectName(QStringLiteral("cbCodePage"));
  w.cbCodePage->addItems(
      {QStringLiteral("WIN1251"), QStringLiteral("KOI8-R"), QStringLiteral("ISO"), QStringLiteral("UTF-8")});
  w.cbCodePage->setCurrentIndex(-1);

  w.fedProject = new QLineEdit;
  w.fedProject->setObjectName(QStringLiteral("fedProject"));
  w.fedProjectButton = new QToolButton;
  w.fedProjectButton->setObjectName(QStringLiteral("fedProjectButton"));
  QWidget* fileRow = MakeBoxWithButton(w.fedProject, w.fedProjectButton, page);
  QObject::connect(w.fedProjectButton, &QToolButton::clicked, &w, [&w] {
    const QString file = QFileDialog::getSaveFileName(&w, QStringLiteral("Имя файла"), w.fedProject->text(),
                                                      QStringLiteral("Файлы проекта (*.prj)"), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty()) w.fedProject->setText(file);
  });

  form->addRow(MakeLabel(QStringLiteral("URL доски объявлений"), page, QStringLiteral("lbURLBoard")),
               w.cbURL);
  form->addRow(MakeLabel(QStringLiteral("Номер формы"), page, QStringLiteral("lbFormNumber")),
               w.rseFormNumber);
  form->addRow(MakeLabel(QStringLiteral("Наименование доски"), page, QStringLiteral("lbProjName")),
               w.edProjName);
  form->addRow(MakeLabel(QStringLiteral("Кодировка"), page, QStringLiteral("lbCodePage")), w.cbCodePage);
  form->addRow(MakeLabel(QStringLiteral("Имя файла"), page, QStringLiteral("lbProject")), fileRow);
  w.rseFormNumber->setMaximumWidth(100);
  w.cbCodePage->setMaximumWidth(160);
  return page;
}

QWidget* HtmlViewPage(TfrmMain& w) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("HTMLView"));
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  w.spHTMLView = new QSplitter(Qt::Horizontal, page);
  w.spHTMLView->setObjectName(QStringLiteral("spHTMLView"));
  w.spHTMLView->setHandleWidth(3);
  w.tvTree = new QTreeWidget(w.spHTMLView);
  w.tvTree->setObjectName(QStringLiteral("tvTree"));
  w.tvTree->setHeaderHidden(true);
  w.tvTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  auto* viewer = new THTMLViewer(w.spHTMLView);
  viewer->setObjectName(QStringLiteral("HTMLViewer"));
  w.HTMLViewer = viewer;
  w.spHTMLView->addWidget(w.tvTree);
  w.spHTMLView->addWidget(viewer);
  w.spHTMLView->setStretchFactor(1, 1);
  // Room for an entry with the category it is bound to beside it.
  w.spHTMLView->setSizes({240, 560});
  layout->addWidget(w.spHTMLView);
  return page;
}

QWidget* PreviewPage(TfrmMain& w) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("Preview"));
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  w.memPreview = new QPlainTextEdit(page);
  w.memPreview->setObjectName(QStringLiteral("memPreview"));
  w.memPreview->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  layout->addWidget(w.memPreview);
  return page;
}

}  // namespace

QWidget* TfrmMain::BuildWizardPanel() {
  pAddDO = new QWidget;
  pAddDO->setObjectName(QStringLiteral("pAddDO"));
  auto* layout = new QVBoxLayout(pAddDO);
  layout->setContentsMargins(4, 4, 4, 4);

  nbAddDO = new QStackedWidget(pAddDO);
  nbAddDO->setObjectName(QStringLiteral("nbAddDO"));
  nbAddDO->addWidget(GeneralPage(*this));
  nbAddDO->addWidget(HtmlViewPage(*this));
  nbAddDO->addWidget(PreviewPage(*this));
  nbAddDO->setCurrentIndex(0);
  layout->addWidget(nbAddDO, 1);

  auto* bar = new QHBoxLayout;
  btnCancel = new QPushButton(QStringLiteral("Отмена"), pAddDO);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnPrev = new QPushButton(QStringLiteral("<< Пред."), pAddDO);
  btnPrev->setObjectName(QStringLiteral("btnPrev"));
  btnNext = new QPushButton(QStringLiteral("След. >>"), pAddDO);
  btnNext->setObjectName(QStringLiteral("btnNext"));
  btnNext->setDefault(true);
  new PanelButtons(pAddDO, btnNext, btnCancel);
  bar->addStretch(1);
  bar->addWidget(btnCancel);
  bar->addSpacing(12);
  bar->addWidget(btnPrev);
  bar->addWidget(btnNext);
  layout->addLayout(bar);
  m_wizard = MakeWizard(*this);
  return pAddDO;
}

}  // namespace adw::ui
