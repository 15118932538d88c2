#pragma once
// The real widgets that stand in for a page's form controls in the viewer.
// Their sizes are known before they exist (a page may hold thousands of
// controls, and the viewer makes a widget only when its place scrolls into
// view); once made, a widget mirrors its control and hands every edit of
// the user to the form model, which stays the only keeper of the state.
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/wizard/html/html_form.h"
#include "ui/wizard/html_layout.h"

class QPainter;
class QWidget;

namespace adw::ui {

// An image, or the box that stands for a missing one with its alt text.
void PaintImageBox(QPainter& painter, const QRectF& box, const QImage* image, const QString& alt,
                   const QFont& font);

// The size of an image's box: the page's WIDTH and HEIGHT where given, else
// the image's own, else room for the alt text (an empty box without one).
TBoxSize ImageBoxSize(int width, int height, const QImage* image, std::string_view alt,
                      const TPageFont& font);

class TFormWidgets {
 public:
  // Widgets are made as children of host, in its font.
  explicit TFormWidgets(QWidget* host);
  ~TFormWidgets();
  TFormWidgets(const TFormWidgets&) = delete;
  TFormWidgets& operator=(const TFormWidgets&) = delete;

  // The box the control's widget takes, found without making the widget.
  TBoxSize Size(const adw::engine::TFormControlObj& control, const QImage* image) const;
  // Makes the widget, shows the control's state in it and sends the user's
  // edits to the control. The widget is hidden until placed.
  QWidget* Make(adw::engine::TFormControlObj& control, const QImage* image);
  // Shows the control's current state in its widget (after the model
  // changed it: a reset, another radio button of the group checked).
  void Sync(const adw::engine::TFormControlObj& control, QWidget* widget);

  // Typed text held characters that Windows-1251 lacks (they became "?").
  std::function<void(const std::vector<char32_t>& replaced)> OnTextReplaced;

 private:
  struct Metrics;
  QWidget* m_host;
  std::unique_ptr<Metrics> m_metrics;
  bool m_syncing = false;  // widget signals raised by Sync are not edits
};

}  // namespace adw::ui
