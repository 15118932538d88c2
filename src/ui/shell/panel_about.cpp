// pHelpAbout: what the program is, its version and how to reach its maker.
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/shell/main_window.h"
#include "ui/shell/panel_parts.h"
#include "ui/shell/product_info.h"
#include "ui/text_convert.h"

namespace adw::ui {

namespace {

QLabel* LinkLabel(const QString& text, const QString& name, QWidget* parent) {
  auto* label = MakeLabel(text, parent, name);
  label->setStyleSheet(QStringLiteral("color: #000080;"));
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  label->setCursor(Qt::PointingHandCursor);
  label->setAlignment(Qt::AlignHCenter);
  return label;
}

// The product name in large type over its shadow.
QWidget* Logo(QWidget* parent) {
  auto* logo = new QWidget(parent);
  logo->setObjectName(QStringLiteral("imgLogo"));
  auto* grid = new QGridLayout(logo);
  grid->setContentsMargins(0, 0, 0, 0);
  auto* icon = new QLabel(logo);
  icon->setObjectName(QStringLiteral("lbLogoIcon"));
  icon->setPixmap(QPixmap(QStringLiteral(":/icons/adwelder64.png")));
  auto* shadow = new QLabel(QStringLiteral("Adweld"), logo);
  shadow->setObjectName(QStringLiteral("lbLogoShadow"));
  auto* face = new QLabel(QStringLiteral("Adweld"), logo);
  face->setObjectName(QStringLiteral("lbLogo"));
  QFont font(QStringLiteral("DejaVu Serif"));
  font.setPixelSize(52);
  font.setBold(true);
  font.setItalic(true);
  shadow->setFont(font);
  face->setFont(font);
  shadow->setStyleSheet(QStringLiteral("color: #B8C4D6; padding-left: 4px; padding-top: 4px;"));
  face->setStyleSheet(QStringLiteral("color: #1E4A80; padding-right: 4px; padding-bottom: 4px;"));
  grid->addWidget(icon, 0, 0, Qt::AlignVCenter);
  grid->addWidget(shadow, 0, 1);
  grid->addWidget(face, 0, 1);
  grid->setHorizontalSpacing(12);
  return logo;
}

}  // namespace

QWidget* TfrmMain::BuildAboutPanel() {
  pHelpAbout = new QWidget;
  pHelpAbout->setObjectName(QStringLiteral("pHelpAbout"));
  auto* panelLayout = new QVBoxLayout(pHelpAbout);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(pHelpAbout);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  panelLayout->addWidget(scroll);
  auto* content = new QWidget;
  scroll->setWidget(content);
  auto* layout = new QVBoxLayout(content);
  layout->setSpacing(6);
  layout->addStretch(1);

  QLabel* purpose = MakeLabel(QStringLiteral("Программа автоматической рассылки объявлений"), content,
                              QStringLiteral("lbPurpose"));
  QFont purposeFont = purpose->font();
  purposeFont.setPointSizeF(purposeFont.pointSizeF() * 1.2);
  purpose->setFont(purposeFont);
  purpose->setAlignment(Qt::AlignHCenter);
  layout->addWidget(purpose);
  layout->addWidget(Logo(content), 0, Qt::AlignHCenter);

  lbBuild = MakeLabel(BuildCaption(), content, QStringLiteral("lbBuild"));
  lbBuild->setAlignment(Qt::AlignHCenter);
  layout->addWidget(lbBuild);
  layout->addSpacing(10);

  lbURL = LinkLabel(kMakerSiteUrl, QStringLiteral("lbURL"), content);
  lbEMail = LinkLabel(kMakerEMail, QStringLiteral("lbEMail"), content);
  lbURL->installEventFilter(this);
  lbEMail->installEventFilter(this);
  layout->addWidget(lbURL, 0, Qt::AlignHCenter);
  layout->addWidget(lbEMail, 0, Qt::AlignHCenter);

  lbPhone = MakeLabel(QStringLiteral("Контактный телефон: %1").arg(kMakerPhone), content,
                      QStringLiteral("lbPhone"));
  QFont phoneFont = lbPhone->font();
  phoneFont.setBold(true);
  lbPhone->setFont(phoneFont);
  lbPhone->setAlignment(Qt::AlignHCenter);
  layout->addSpacing(6);
  layout->addWidget(lbPhone);
  // Beside the program or in the user's folder: say which, so a user knows
  // which file to keep or copy.
  QLabel* settingsFile = MakeLabel(QStringLiteral("Файл настроек: %1").arg(ToQ(m_settingsPath)), content,
                                   QStringLiteral("lbSettingsFile"));
  settingsFile->setAlignment(Qt::AlignHCenter);
  settingsFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
  settingsFile->setWordWrap(true);
  layout->addSpacing(10);
  layout->addWidget(settingsFile);
  layout->addStretch(2);
  return pHelpAbout;
}

}  // namespace adw::ui
