#pragma once
// Places a page's layout items (text runs, breaks, lists, tables, images and
// form controls) on a plane of the viewer's width: lines are filled word by
// word and wrapped, lists are indented with their markers, tables get their
// column widths from what their cells need. The result is a flat list of
// positioned pieces that the viewer paints and hit-tests; form controls and
// images only get their boxes here, their widgets are the viewer's business.
#include <QFont>
#include <QRectF>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/wizard/html/html_document.h"

namespace adw::ui {

// A page font with the advance of every Windows-1251 byte: measuring a word
// is a look-up per letter, which keeps a page of megabytes quick to lay out.
struct TPageFont {
  QFont font;
  std::array<qreal, 256> advance{};
  qreal ascent = 0;
  qreal descent = 0;  // with the font's leading, so lines do not touch
  qreal lineSpacing = 0;

  qreal Width(std::string_view text) const {
    qreal w = 0;
    for (char c : text) w += advance[static_cast<unsigned char>(c)];
    return w;
  }
};

// The fonts of one page, made on first use: a serif face for text and a
// fixed-pitch one for preformatted text, in the sizes the styles ask for.
class TPageFonts {
 public:
  int Index(const adw::engine::TTextStyle& style);
  const TPageFont& Font(int index) const { return *m_fonts[static_cast<std::size_t>(index)]; }
  // A font of the widgets' face, for the texts inside form controls.
  static std::unique_ptr<TPageFont> Make(const QFont& font);

 private:
  std::vector<std::unique_ptr<TPageFont>> m_fonts;
  std::unordered_map<std::uint32_t, int> m_byKey;
};

// Windows-1251 bytes as a QString; control characters become blanks so that
// what is painted matches what was measured.
QString PageText(std::string_view cp1251);

enum class FragKind : std::uint8_t {
  Text,     // a run of one style on one line
  Marker,   // a list item's bullet or number
  Control,  // a form control's box
  Image,    // an image's box
  Rule,     // hr
  Box,      // a table's or a cell's border
  Anchor,   // where an <a name=...> target sits (no box)
};

struct TFrag {
  FragKind kind = FragKind::Text;
  int font = 0;
  std::uint32_t link = 0;  // Text: index into the page's links
  qreal x = 0;             // the box in page coordinates
  qreal y = 0;
  qreal w = 0;
  qreal h = 0;
  qreal baseline = 0;          // Text and Marker
  const char* text = nullptr;  // Text and Marker: the bytes shown
  std::uint32_t length = 0;    // Text and Marker; Box: line width
  std::size_t item = 0;        // the layout item it came from

  QRectF Rect() const { return QRectF(x, y, w, h); }
};

// The size of a box the layout does not measure itself (a control or an
// image) and where in it the line's baseline goes.
struct TBoxSize {
  qreal w = 0;
  qreal h = 0;
  qreal baseline = 0;
};

class THtmlLayout {
 public:
  using BoxSizer = std::function<TBoxSize(std::size_t item)>;

  static constexpr qreal kMargin = 2;
  static constexpr qreal kListIndent = 40;
  static constexpr qreal kCellSpacing = 2;
  static constexpr qreal kCellPadding = 2;
  // A span beyond this is taken as this; a page cannot make a grid of a
  // million columns.
  static constexpr int kMaxSpan = 200;

  THtmlLayout(const adw::engine::THtmlDocument& doc, TPageFonts& fonts, BoxSizer sizer);
  ~THtmlLayout();
  THtmlLayout(const THtmlLayout&) = delete;
  THtmlLayout& operator=(const THtmlLayout&) = delete;

  // Lays the whole page out for a viewer of that width (margins included).
  void Run(qreal width);

  const std::vector<TFrag>& Frags() const { return m_frags; }
  const TFrag& Frag(std::uint32_t index) const { return m_frags[index]; }
  // The extent of everything laid out, margins included.
  QSizeF Size() const { return m_size; }

  // The pieces whose boxes meet the rectangle, each once.
  void FragsIn(const QRectF& rect, std::vector<std::uint32_t>& out) const;
  // The link under a point, 0 when none.
  std::uint32_t LinkAt(QPointF point) const;
  // The piece of a control or image item; nullopt when it has none.
  std::optional<std::uint32_t> FragOfItem(std::size_t item) const;
  // The top of a named anchor; nullopt when the page has no such anchor.
  std::optional<qreal> AnchorTop(std::string_view name) const;

 private:
  struct Atom;
  struct Flow;
  struct Cell;
  struct Table;

  void Match();
  qreal LayoutFlow(std::size_t begin, std::size_t end, qreal x, qreal width, qreal y);
  void AddText(Flow& flow, const adw::engine::TLayoutItem& item, std::size_t index);
  void AddAtom(Flow& flow, Atom atom, bool breakBefore);
  void FinishLine(Flow& flow, bool forceEmpty, int emptyFont);
  void FlushMarker(Flow& flow, qreal baseline);
  void ApplyGap(Flow& flow);
  std::pair<qreal, qreal> MeasureFlow(std::size_t begin, std::size_t end);
  Table& TableAt(std::size_t begin);
  qreal LayoutTable(std::size_t begin, qreal x, qreal avail, qreal y);
  void Shift(std::size_t from, std::size_t to, qreal dy);
  const char* Keep(std::string text);
  void BuildBands();

  const std::vector<adw::engine::TLayoutItem>& m_items;
  TPageFonts& m_fonts;
  BoxSizer m_sizer;
  std::vector<std::uint32_t> m_match;  // a begin item's end item
  std::unordered_map<std::size_t, std::unique_ptr<Table>> m_tables;

  std::vector<TFrag> m_frags;
  std::deque<std::string> m_kept;  // marker texts; a deque keeps them in place
  std::vector<std::vector<std::uint32_t>> m_bands;
  std::unordered_map<std::size_t, std::uint32_t> m_itemFrags;
  QSizeF m_size;
};

}  // namespace adw::ui
