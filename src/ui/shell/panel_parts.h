#pragma once
// Small pieces the panels of the main window are built from.
#include <QObject>
#include <QString>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QTableView;
class QToolButton;
class QWidget;

namespace adw::ui {

// A label with an object name (captions that others may want to find).
QLabel* MakeLabel(const QString& caption, QWidget* parent, const QString& name = {});

// A line edit with a "…" button at its right, as the directory and file
// name boxes have; returns the row holding both.
QWidget* MakeBoxWithButton(QLineEdit* edit, QToolButton* button, QWidget* parent);

// A read-only-looking grid as the record-set grids start out: titles, no
// row indicator, whole-row selection. The given titles stand in until the
// record set model takes the grid over.
void SetUpGrid(QTableView* grid, const QStringList& titles);

// Gives a panel a default button (Enter) and a cancel button (Esc), as
// dialog panels have: keys that no control of the panel used press them.
class PanelButtons : public QObject {
  Q_OBJECT

 public:
  PanelButtons(QWidget* panel, QAbstractButton* defaultButton, QAbstractButton* cancelButton);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAbstractButton* m_default;
  QAbstractButton* m_cancel;
};

}  // namespace adw::ui
