#pragma once
// frmVariab, the category chooser: a small tool window with the category
// lists of the variables map as a two-level tree. It is rebuilt from the
// map each time it is shown and keeps its result and selection until the
// next showing.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "engine/base/category_tree.h"

class QPushButton;
class QTreeWidget;
class QWidget;

namespace adw::ui {

class TfrmVariab : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmVariab(QWidget* parent = nullptr);

  // The variables map the next showing builds its tree from.
  void SetMapPath(std::string mapPath) { m_mapPath = std::move(mapPath); }
  const std::string& MapPath() const { return m_mapPath; }

  // Rebuilds the tree from the map and selects the first list.
  void FormShow();

  // The selected node; nullopt when nothing is selected (an empty tree).
  std::optional<adw::engine::ChosenCategory> SelectedCategory() const;

  QTreeWidget* tvCateg;
  QPushButton* btnSelect;  // "Выбрать"
  QPushButton* btnCancel;  // "Отмена"

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::string m_mapPath;
  adw::engine::CategoryTree m_tree;
};

// The "…" button of a category box: places the chooser just below the box
// at its left edge, shows it modally over the given map and returns the
// node confirmed with "Выбрать"; nullopt after "Отмена", the close box or
// with nothing selected. execModal shows a window modally and returns its
// result (empty: the dialog's own exec).
std::optional<adw::engine::ChosenCategory> ChooseCategory(TfrmVariab* chooser, const QWidget* box,
                                                          const std::string& mapPath,
                                                          const std::function<int(QDialog&)>& execModal = {});

}  // namespace adw::ui
