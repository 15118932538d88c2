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

// Fills a panel with a frameless vertical scroll area and returns the
// widget inside it, to be laid out as the panel itself would be.
QWidget* MakeScrollingPanel(QWidget* panel, const QString& scrollName);

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

// Keeps the cursor of a masked box within reach of its filled places: a
// click into the empty places at the right puts the cursor at the first
// empty place, where typing fills in, instead of past them, where it
// would go nowhere.
class MaskedBoxCursor : public QObject {
  Q_OBJECT

 public:
  explicit MaskedBoxCursor(QLineEdit* edit);
  // The first unfilled place of a masked box's shown text; -1 when full.
  static int FirstBlankPlace(const QString& displayText, const QString& inputMask);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* m_edit;
};

}  // namespace adw::ui
