#include "ui/shell/wait_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace adw::ui {

namespace {
constexpr int kFrames = 8;
QPixmap FramePixmap(int frame) {
  return QPixmap(QStringLiteral(":/icons/wait%1.png").arg(frame));
}
}  // namespace

int TfrmWait::FrameCount() {
  return kFrames;
}

TfrmWait::TfrmWait(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmWait"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setCursor(Qt::BusyCursor);
  setFixedSize(284, 49);
  // Without a title bar the window needs an edge of its own to stand out.
  setStyleSheet(QStringLiteral("#frmWait { border: 1px solid palette(dark); background: palette(window); }"));
  setAttribute(Qt::WA_StyledBackground);

  imgAnimate = new QLabel(this);
  imgAnimate->setObjectName(QStringLiteral("imgAnimate"));
  imgAnimate->setFixedSize(40, 40);
  imgAnimate->setPixmap(FramePixmap(0));

  lbWait = new QLabel(QStringLiteral("Подождите, идет загрузка \nдосок объявлений ..."), this);
  lbWait->setObjectName(QStringLiteral("lbWait"));
  lbWait->setAlignment(Qt::AlignCenter);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->addWidget(imgAnimate);
  layout->addWidget(lbWait, 1);

  m_animation = new QTimer(this);
  m_animation->setInterval(100);
  connect(m_animation, &QTimer::timeout, this, &TfrmWait::NextFrame);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

void TfrmWait::NextFrame() {
  m_frame = (m_frame + 1) % kFrames;
  imgAnimate->setPixmap(FramePixmap(m_frame));
}

void TfrmWait::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  m_animation->start();
}

void TfrmWait::hideEvent(QHideEvent* event) {
  m_animation->stop();
  QWidget::hideEvent(event);
}

}  // namespace adw::ui
