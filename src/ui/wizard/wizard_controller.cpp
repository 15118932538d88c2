#include "ui/wizard/wizard_controller.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "engine/base/replaced_characters.h"
#include "engine/shell/settings_file.h"
#include "engine/wizard/board_text.h"
#include "engine/wizard/fetch_failure.h"
#include "engine/wizard/ok_text_suggestion.h"
#include "engine/wizard/page_charset.h"
#include "platform/files.h"
#include "ui/base/category_chooser.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"
#include "ui/wizard/html_viewer.h"

namespace adw::ui {

namespace {

constexpr int kNodeRole = Qt::UserRole;
// The width of the state mark at the left of a node, with the space the
// style leaves around it.
constexpr int kMarkWidth = 16 + 6;

// A binding is the category's caption and its list's "$" name; the caption
// says enough beside the entry.
std::string BindingCaption(const std::string& binding) {
  const std::size_t dollar = binding.find('$');
  return dollar == 0 || dollar == std::string::npos ? binding : binding.substr(0, dollar);
}

}  // namespace

WizardController::WizardController(TfrmMain& window) : m_window(window) {
  TfrmMain& w = m_window;
  m_marks[adw::engine::kMarkUnbound] = QIcon(QStringLiteral(":/icons/state_unchecked.png"));
  m_marks[adw::engine::kMarkBound] = QIcon(QStringLiteral(":/icons/state_checked.png"));
  w.tvTree->setIconSize(QSize(16, 16));
  w.tvTree->viewport()->installEventFilter(this);
  connect(w.tvTree, &QTreeWidget::currentItemChanged, this,
          [&w](QTreeWidgetItem* node) { w.Guarded([&w, node] { w.tvTreeChanging(node); }); });
  connect(w.edProjName, &QLineEdit::textChanged, this, [&w] { w.Guarded([&w] { w.edProjNameChange(); }); });

  w.HTMLViewer->OnFormSubmit = [&w](THTMLViewer&, const std::string& action, const std::string& method,
                                    std::vector<std::string> results) {
    w.Guarded([&] { w.HTMLViewerFormSubmit(action, method, std::move(results)); });
  };

  w.HTMLViewer->OnTextReplaced = [&w](THTMLViewer&, const std::vector<char32_t>& replaced) {
    w.SetStatusText(QString::fromStdString(adw::engine::ReplacedCharactersNote(replaced)));
  };

  pmSave = new QMenu(&w);
  pmSave->setObjectName(QStringLiteral("pmSave"));
  mmSaveFTP = pmSave->addAction(QStringLiteral("выложить на сайт ..."));
  mmSaveFTP->setObjectName(QStringLiteral("mmSaveFTP"));
  // There is no site to upload to; the item shows what could be.
  mmSaveFTP->setEnabled(false);
  pmSaveEMail = pmSave->addAction(QStringLiteral("послать по почте ..."));
  pmSaveEMail->setObjectName(QStringLiteral("pmSaveEMail"));
  pmSaveFile = pmSave->addAction(QStringLiteral("в файл ..."));
  pmSaveFile->setObjectName(QStringLiteral("pmSaveFile"));
  connect(pmSaveEMail, &QAction::triggered, this, [&w] { w.Guarded([&w] { w.pmSaveEMailClick(); }); });
  connect(pmSaveFile, &QAction::triggered, this, [&w] { w.Guarded([&w] { w.pmSaveFileClick(); }); });
  PopupMenu = [](QMenu& menu, QPoint at) { menu.exec(at); };

  w.btnNext->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(w.btnNext, &QWidget::customContextMenuRequested, this, [this, &w](const QPoint& at) {
    if (m_saveMenuIsContext) PopupMenu(*pmSave, w.btnNext->mapToGlobal(at));
  });

  Http.OnDocData = [&w](adw::engine::THttpCli&, const char*, std::size_t) { w.HttpDocData(); };
  Http.OnDocEnd = [&w](adw::engine::THttpCli&) { w.HttpDocEnd(); };
  // While the window shuts a fetch down, the worker may be waiting for the
  // main thread in a blocking call: serve those calls (they find the fetch
  // closing and do nothing).
  Http.ServePending = [] { QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall); };
}

WizardController::~WizardController() {
  Http.Shutdown();
}

void WizardController::StartPageFetch() {
  TfrmMain& w = m_window;
  const std::uint64_t fetch = ++m_fetch;
  m_fetching = true;
  // A new buffer for every fetch; the client looks it up at every chunk.
  m_page = std::make_unique<std::string>();
  Http.ReplyStream = m_page.get();
  const adw::engine::FetchProxySettings proxy = adw::engine::ReadFetchProxySettings(w.SettingsPath());
  if (proxy.useProxy) {
    Http.Proxy = proxy.proxy;
    Http.ProxyPort = proxy.proxyPort;
  } else {
    Http.Proxy.clear();
  }
  const adw::engine::PostingSettings posting = adw::engine::ReadPostingSettings(w.SettingsPath());
  Http.CAFile = posting.caFile;
  const int timeOut = FetchTimeOutMs > 0 ? FetchTimeOutMs : posting.timeOutMs;
  Http.TimeOut = timeOut > 0 ? timeOut : adw::engine::kDefaultFetchTimeOutMs;
  Http.URL = FromQ(w.cbURL->currentText());
  // An earlier fetch still running (a slow page left with Prev) is not the
  // page asked for any more: it is ended here so that this one can start.
  if (Http.Busy()) Http.Shutdown();
  try {
    Http.GetAsync(w.MainThread(),
                  [this, fetch](adw::engine::THttpCli&, const adw::engine::HttpCliError* failure) {
                    FetchDone(fetch, failure);
                  });
  } catch (const adw::engine::HttpCliError& failure) {
    m_fetching = false;
    ShowFailure(failure);
  }
}

void WizardController::FetchDone(std::uint64_t fetch, const adw::engine::HttpCliError* failure) {
  if (fetch != m_fetch) return;  // a later fetch took its place
  m_fetching = false;
  PageSetCookie = !failure && !Http.SetCookie().empty();
  if (failure) {
    OkSuggestion.clear();
    ShowFailure(*failure);
    return;
  }
  const std::string bytes = *m_page;
  m_window.Guarded([this, &bytes] { ShowPage(bytes); });
}

void WizardController::ShowFailure(const adw::engine::HttpCliError& failure) {
  // Whatever went wrong is said where the page would be and in the status
  // bar; the tree has no form to show.
  const bool answered = !Http.RcvdHeader().empty();
  const std::string page = adw::engine::FetchFailurePage(failure, answered, Http.URL);
  m_window.Guarded([this, &page] {
    ShowPageText(page);
    FieldTree.Clear();
    ShowFieldTree();
  });
  m_window.SetStatusText(ToQ(adw::engine::FetchFailureStatus(failure, answered)));
}

void WizardController::ShowPage(const std::string& bytes) {
  TfrmMain& w = m_window;
  // A code page the user picked stands; one the wizard found is found
  // anew for the next page.
  const int picked = w.cbCodePage->currentIndex();
  if (!bytes.empty() && (picked < 0 || picked == m_foundCodePage)) {
    const int found = adw::engine::DetectPageCodePage(Http.ContentType(), bytes);
    if (found >= 0) {
      w.cbCodePage->setCurrentIndex(found);
      m_foundCodePage = found;
    }
  }
  std::vector<char32_t> replaced;
  const std::string text = adw::engine::PreparePageText(bytes, w.cbCodePage->currentIndex(), replaced);
  ShowPageText(text);
  FieldTree.Build(text, w.rseFormNumber->value());
  OkSuggestion = adw::engine::SuggestOkText(text);
  ShowFieldTree();
  if (!replaced.empty())
    w.SetStatusText(QString::fromStdString(adw::engine::ReplacedCharactersNote(replaced)));
}

void WizardController::ShowPageText(const std::string& text) {
  TfrmMain& w = m_window;
  // The viewer shows pages from files; the copy lives only until it is shown.
  const std::string path = adw::platform::TempDirectory() + "temp.html";
  if (!adw::platform::WriteFileAtomic(path, text))
    throw adw::platform::FileError("Cannot create file " + path);
  try {
    w.HTMLViewer->LoadFromFile(path);
  } catch (...) {
    adw::platform::RemoveFileQuiet(path);
    throw;
  }
  adw::platform::RemoveFileQuiet(path);
}

void WizardController::ShowFieldTree() {
  QTreeWidget* tree = m_window.tvTree;
  tree->clear();
  const auto& nodes = FieldTree.Nodes();
  std::vector<QTreeWidgetItem*> items(nodes.size(), nullptr);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const adw::engine::TFieldNode& node = nodes[i];
    QTreeWidgetItem* item = node.parent == adw::engine::TFieldNode::kNoParent
                                ? new QTreeWidgetItem(tree)
                                : new QTreeWidgetItem(items[node.parent]);
    item->setText(0, ToQ(node.caption));
    item->setData(0, kNodeRole, QVariant::fromValue<qulonglong>(i));
    items[i] = item;
  }
  ShowMarks();
  tree->expandAll();
}

void WizardController::ShowMarks() {
  const auto& nodes = FieldTree.Nodes();
  for (QTreeWidgetItemIterator it(m_window.tvTree); *it; ++it) {
    const std::size_t node = NodeOf(*it);
    if (node >= nodes.size()) continue;
    const bool bound = nodes[node].stateIndex == adw::engine::kMarkBound;
    (*it)->setIcon(0, m_marks[bound ? 2 : 1]);
    // The category an entry is bound to stands beside it.
    const QString caption = ToQ(nodes[node].caption);
    const std::string binding = bound ? FieldTree.Record(node).Binding : std::string();
    (*it)->setText(
        0, binding.empty() ? caption : caption + QStringLiteral("  → ") + ToQ(BindingCaption(binding)));
    // A narrow tree cuts the text; the tip shows it whole.
    (*it)->setToolTip(0, (*it)->text(0));
  }
}

std::size_t WizardController::NodeOf(const QTreeWidgetItem* item) {
  return item ? static_cast<std::size_t>(item->data(0, kNodeRole).toULongLong())
              : static_cast<std::size_t>(-1);
}

void WizardController::PopUpSaveMenu() {
  QPushButton* next = m_window.btnNext;
  m_saveMenuIsContext = true;
  PopupMenu(*pmSave, next->mapToGlobal(QPoint(0, next->height())));
}

TfrmVariab* WizardController::Chooser() {
  if (m_window.frmVariab) return m_window.frmVariab;
  if (!m_chooser) m_chooser = new TfrmVariab(&m_window);
  return m_chooser;
}

bool WizardController::eventFilter(QObject* watched, QEvent* event) {
  // A press on a node's state mark binds or unbinds it; a press on its text
  // asks for the category to bind it to (or to bind it anew).
  if (watched == m_window.tvTree->viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    QTreeWidgetItem* item = m_window.tvTree->itemAt(at);
    if (item && mouse->button() == Qt::LeftButton) {
      const QRect box = m_window.tvTree->visualItemRect(item);
      const bool onMark = at.x() >= box.left() && at.x() < box.left() + kMarkWidth;
      TfrmMain& w = m_window;
      w.Guarded([&w, item, onMark] { w.tvTreeMouseDown(item, onMark); });
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace adw::ui
