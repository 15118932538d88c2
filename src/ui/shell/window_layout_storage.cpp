// The main window's layout kept between starts: its place and size (the
// placement keys the form storage writes are read back here), whether it
// was maximised, the splitters, the first columns of the two value grids,
// and the thread count the configuration save stores.
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>

#include "engine/shell/window_layout.h"
#include "ui/shell/main_window.h"

namespace adw::ui {

namespace {

using adw::engine::LayoutRect;
using Sizes = std::vector<std::pair<std::string, std::vector<int>>>;

QList<int> ToList(const std::vector<int>& sizes) {
  return QList<int>(sizes.begin(), sizes.end());
}

std::vector<int> ToVector(const QList<int>& sizes) {
  return std::vector<int>(sizes.begin(), sizes.end());
}

const std::vector<int>* Find(const Sizes& sizes, const std::string& key) {
  for (const auto& [k, v] : sizes)
    if (k == key) return &v;
  return nullptr;
}

}  // namespace

void TfrmMain::RestoreLayout() {
  const std::vector<QSplitter*> splitters{spTree, spHTMLView};
  const std::vector<QTableView*> grids{DBGridFields, DBGridTemplate};
  std::vector<std::string> keys;
  for (QSplitter* splitter : splitters)
    keys.push_back(adw::engine::SizesKey(splitter->objectName().toStdString()));
  for (QTableView* grid : grids) keys.push_back(adw::engine::WidthsKey(grid->objectName().toStdString()));
  const adw::engine::StoredLayout stored = adw::engine::ReadStoredLayout(m_settingsPath, keys);

  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  // The frame the window manager adds lies outside the stored rectangle;
  // leave room for it on the screen.
  const LayoutRect area{free.left(), free.top(), free.width(), free.height() - 32};
  const LayoutRect r = adw::engine::RestoredWindowRect(stored.normal, area, minimumWidth(), minimumHeight());
  if (stored.normal) {
    setGeometry(r.left, r.top, r.width, r.height);
  } else {
    // The system chooses where a first window goes; only its size is ours.
    resize(r.width, r.height);
  }
  if (stored.maximised) setWindowState(windowState() | Qt::WindowMaximized);

  if (stored.threadCount && *stored.threadCount >= RxSEdPost->minimum() &&
      *stored.threadCount <= RxSEdPost->maximum())
    RxSEdPost->setValue(*stored.threadCount);

  std::size_t k = 0;
  for (QSplitter* splitter : splitters) {
    const std::vector<int>* sizes = Find(stored.sizes, keys[k++]);
    if (sizes && static_cast<int>(sizes->size()) == splitter->count()) splitter->setSizes(ToList(*sizes));
  }
  for (QTableView* grid : grids) {
    const std::vector<int>* widths = Find(stored.sizes, keys[k++]);
    if (widths && !widths->empty() && widths->front() > 0) grid->setColumnWidth(0, widths->front());
  }
}

void TfrmMain::SaveLayout() {
  // Nothing is written for a window that never restored: as with the
  // stored values, such a window leaves the file as it found it.
  if (!m_storageSaved) return;
  Sizes sizes;
  for (QSplitter* splitter : {spTree, spHTMLView}) {
    const QList<int> now = splitter->sizes();
    // A splitter never shown has no sizes worth keeping.
    if (!now.isEmpty() && now.front() + now.back() > 0)
      sizes.emplace_back(adw::engine::SizesKey(splitter->objectName().toStdString()), ToVector(now));
  }
  for (QTableView* grid : {DBGridFields, DBGridTemplate}) {
    sizes.emplace_back(adw::engine::WidthsKey(grid->objectName().toStdString()),
                       std::vector<int>{grid->columnWidth(0)});
  }
  adw::engine::WriteLayoutSizes(m_settingsPath, sizes);
}

}  // namespace adw::ui
