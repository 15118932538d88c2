#include "ui/platform_qt.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QThread>
#include <QUrl>
#include <exception>

#include "ui/text_convert.h"

namespace adw::ui {

namespace {

QUrl TargetToUrl(std::string_view target) {
  const QString text = ToQ(target).trimmed();
  if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
    // The report page is opened as "file:" followed by two separators and
    // its path; what follows them is an ordinary local path.
    QString path = text.mid(5);
    if (path.startsWith(QLatin1String("//")) || path.startsWith(QLatin1String("\\\\"))) path = path.mid(2);
    return QUrl::fromLocalFile(path);
  }
  if (text.contains(QLatin1String("://")) || text.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) {
    // Tolerant parsing percent-encodes blanks and Cyrillic letters, which
    // mail programs and browsers need to receive the link intact.
    return QUrl(text, QUrl::TolerantMode);
  }
  return QUrl::fromLocalFile(text);
}

}  // namespace

QString QtShell::TargetToUrlText(std::string_view target) {
  return TargetToUrl(target).toString(QUrl::FullyEncoded);
}

void QtShell::Open(std::string_view target) {
  TryOpen(target);
}

bool QtShell::TryOpen(std::string_view target) {
  const QUrl url = TargetToUrl(target);
  if (url.isEmpty()) return false;
  return QDesktopServices::openUrl(url);
}

void QtShell::SetClipboardText(std::string_view cp1251) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(ToQ(cp1251));
}

void QtMainThread::CallBlocking(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) {
    fn();
    return;
  }
  // An exception must not unwind through the event loop; it is carried back
  // to the calling worker instead.
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      app,
      [&fn, &failure] {
        try {
          fn();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace adw::ui
