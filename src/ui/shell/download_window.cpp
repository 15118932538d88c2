#include "ui/shell/download_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/shell.h"
#include "ui/shell/product_info.h"
#include "ui/text_convert.h"

namespace adw::ui {

TfrmDownLoad::TfrmDownLoad(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("frmDownLoad"));
  setWindowTitle(QStringLiteral(" "));
  setModal(true);

  // The address follows the text on the same line, so both are one label.
  lbText = new QLabel(this);
  lbText->setObjectName(QStringLiteral("lbText"));
  lbText->setWordWrap(true);
  lbText->setTextFormat(Qt::RichText);
  lbText->setText(QStringLiteral("Извините, но пока автоматическое скачивание не готово, просто зайдите на "
                                 "<a href=\"%1\" style=\"color:#000080; text-decoration:underline\">%1</a>")
                      .arg(kMakerSiteUrl.toHtmlEscaped()));
  lbText->setOpenExternalLinks(false);
  connect(lbText, &QLabel::linkActivated, this, [this] { lbURLClick(); });

  btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setDefault(true);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->addWidget(lbText, 1);
  layout->addWidget(btnClose, 0, Qt::AlignVCenter);

  setMinimumWidth(378);
  resize(378, 54);
  adjustSize();
  // A notice has nothing to show in more room: no maximise, no resizing.
  setFixedSize(size());
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TfrmDownLoad::lbURLClick() {
  adw::platform::Shell().Open(FromQ(kMakerSiteUrl));
}

}  // namespace adw::ui
