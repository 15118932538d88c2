#pragma once
// frmDownLoad: the notice shown by the two update commands, pointing the
// user at the maker's web site.
#include <QDialog>

class QLabel;
class QPushButton;

namespace adw::ui {

class TfrmDownLoad : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmDownLoad(QWidget* parent = nullptr);

  QLabel* lbText = nullptr;  // the notice with the site's address as a link
  QPushButton* btnClose = nullptr;

  // Click on the address: opens it with the shell.
  void lbURLClick();
};

}  // namespace adw::ui
