#include "ui/base/category_chooser.h"

#include <QPushButton>
#include <QTreeWidget>

#include "ui/text_convert.h"

namespace adw::ui {

namespace {

// Where a tree item's node sits in the tree: its list and, for a category,
// its place in that list.
constexpr int kListRole = Qt::UserRole + 1;
constexpr int kItemRole = Qt::UserRole + 2;

constexpr int kClientWidth = 269;
constexpr int kClientHeight = 235;
constexpr int kTreeHeight = 205;
constexpr int kButtonWidth = 133;

}  // namespace

TfrmVariab::TfrmVariab(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmVariab"));
  setWindowTitle(QStringLiteral("Категории"));
  setFixedSize(kClientWidth, kClientHeight);

  tvCateg = new QTreeWidget(this);
  tvCateg->setObjectName(QStringLiteral("tvCateg"));
  tvCateg->setHeaderHidden(true);
  tvCateg->setColumnCount(1);
  tvCateg->setIndentation(19);
  tvCateg->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvCateg->setGeometry(0, 0, kClientWidth, kTreeHeight);

  const int buttonTop = kTreeHeight + 4;
  const int buttonHeight = kClientHeight - buttonTop - 4;
  const int gap = kClientWidth - 2 * kButtonWidth;
  btnSelect = new QPushButton(QStringLiteral("Выбрать"), this);
  btnSelect->setObjectName(QStringLiteral("btnSelect"));
  btnSelect->setDefault(true);
  btnSelect->setGeometry(gap / 3, buttonTop, kButtonWidth, buttonHeight);
  btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setGeometry(kClientWidth - gap / 3 - kButtonWidth, buttonTop, kButtonWidth, buttonHeight);

  connect(btnSelect, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmVariab::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TfrmVariab::FormShow() {
  tvCateg->clear();
  m_tree = adw::engine::BuildCategoryTree(m_mapPath);
  for (std::size_t list = 0; list < m_tree.size(); ++list) {
    const auto& node = m_tree[list];
    auto* top = new QTreeWidgetItem(tvCateg, QStringList{ToQ(node.record.text)});
    top->setData(0, kListRole, QVariant::fromValue<qulonglong>(list));
    top->setData(0, kItemRole, QVariant::fromValue<qulonglong>(adw::engine::kWholeListNode));
    for (std::size_t item = 0; item < node.children.size(); ++item) {
      auto* child = new QTreeWidgetItem(top, QStringList{ToQ(node.children[item].record.text)});
      child->setData(0, kListRole, QVariant::fromValue<qulonglong>(list));
      child->setData(0, kItemRole, QVariant::fromValue<qulonglong>(item));
    }
  }
  if (tvCateg->topLevelItemCount() > 0) tvCateg->setCurrentItem(tvCateg->topLevelItem(0));
  tvCateg->setFocus();
}

std::optional<adw::engine::ChosenCategory> TfrmVariab::SelectedCategory() const {
  const QTreeWidgetItem* item = tvCateg->currentItem();
  if (!item) return std::nullopt;
  return adw::engine::PickCategory(m_tree, static_cast<std::size_t>(item->data(0, kListRole).toULongLong()),
                                   static_cast<std::size_t>(item->data(0, kItemRole).toULongLong()));
}

std::optional<adw::engine::ChosenCategory> ChooseCategory(TfrmVariab* chooser, const QWidget* box,
                                                          const std::string& mapPath,
                                                          const std::function<int(QDialog&)>& execModal) {
  chooser->SetMapPath(mapPath);
  if (box) chooser->move(box->mapToGlobal(QPoint(0, box->height())));
  const int result = execModal ? execModal(*chooser) : chooser->exec();
  if (result != QDialog::Accepted) return std::nullopt;
  return chooser->SelectedCategory();
}

}  // namespace adw::ui
