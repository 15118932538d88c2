#pragma once
// frmWait: the borderless window that tells the user the board base is
// being loaded while the main window starts.
#include <QWidget>

class QLabel;
class QTimer;

namespace adw::ui {

class TfrmWait : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmWait(QWidget* parent = nullptr);

  QLabel* imgAnimate = nullptr;
  QLabel* lbWait = nullptr;

  // Frame of the animation now shown (0 to FrameCount() - 1).
  int Frame() const { return m_frame; }
  static int FrameCount();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void NextFrame();
  QTimer* m_animation = nullptr;
  int m_frame = 0;
};

}  // namespace adw::ui
