#include "ui/wizard/html_layout.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "platform/text1251.h"

namespace adw::ui {

using adw::engine::LayoutKind;
using adw::engine::TextAlign;
using adw::engine::TLayoutItem;
using adw::engine::TTextStyle;

namespace {

// Pieces are filed in horizontal bands of this height, so that painting a
// screenful or finding the link under the pointer looks at a few of them.
constexpr qreal kBandHeight = 256;
constexpr qreal kMarkerGap = 6;
constexpr qreal kRuleSpace = 12;
// A table border wider than this is drawn as this.
constexpr int kMaxBorder = 20;

const std::array<char16_t, 256>& Cp1251Table() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
      if (b < 32) {
        t[b] = u' ';
        continue;
      }
      const char byte = static_cast<char>(b);
      const QString s = QString::fromStdString(adw::platform::Cp1251ToUtf8(std::string_view(&byte, 1)));
      t[b] = s.isEmpty() ? u'?' : s.at(0).unicode();
    }
    return t;
  }();
  return table;
}

int PixelSize(const TTextStyle& style) {
  static constexpr int kHeading[] = {32, 24, 19, 16, 13, 11};
  static constexpr int kSizes[] = {10, 13, 16, 18, 24, 32, 48};
  int px = style.heading >= 1 && style.heading <= 6 ? kHeading[style.heading - 1]
                                                    : kSizes[std::clamp<int>(style.fontSize, 1, 7) - 1];
  // Fixed-pitch faces look larger at the same size, as browsers know.
  if (style.monospace) px = std::max(8, (px * 13 + 8) / 16);
  return px;
}

std::size_t BandOf(qreal y) {
  return y <= 0 ? 0 : static_cast<std::size_t>(y / kBandHeight);
}

}  // namespace

QString PageText(std::string_view cp1251) {
  const auto& table = Cp1251Table();
  QString s(static_cast<qsizetype>(cp1251.size()), Qt::Uninitialized);
  QChar* out = s.data();
  for (char c : cp1251) *out++ = QChar(table[static_cast<unsigned char>(c)]);
  return s;
}

std::unique_ptr<TPageFont> TPageFonts::Make(const QFont& font) {
  auto f = std::make_unique<TPageFont>();
  f->font = font;
  const QFontMetricsF fm(font);
  const auto& table = Cp1251Table();
  for (int b = 0; b < 256; ++b)
    f->advance[static_cast<std::size_t>(b)] = fm.horizontalAdvance(QChar(table[b]));
  f->ascent = std::ceil(fm.ascent());
  f->lineSpacing = std::ceil(std::max(fm.lineSpacing(), fm.ascent() + fm.descent()));
  f->descent = f->lineSpacing - f->ascent;
  return f;
}

int TPageFonts::Index(const TTextStyle& style) {
  const int px = PixelSize(style);
  const bool underline = style.underline || style.link != 0;
  const std::uint32_t key = static_cast<std::uint32_t>(px) << 4 | (style.bold ? 1u : 0u) |
                            (style.italic ? 2u : 0u) | (underline ? 4u : 0u) | (style.monospace ? 8u : 0u);
  if (const auto it = m_byKey.find(key); it != m_byKey.end()) return it->second;
  QFont font(style.monospace ? QStringLiteral("Courier New") : QStringLiteral("Times New Roman"));
  font.setStyleHint(style.monospace ? QFont::TypeWriter : QFont::Serif);
  font.setPixelSize(px);
  font.setBold(style.bold);
  font.setItalic(style.italic);
  font.setUnderline(underline);
  // Without kerning and shaping a run is as wide as the sum of its letters,
  // which is how the layout measured it.
  font.setKerning(false);
  font.setStyleStrategy(QFont::PreferNoShaping);
  m_fonts.push_back(Make(font));
  const int index = static_cast<int>(m_fonts.size() - 1);
  m_byKey.emplace(key, index);
  return index;
}

// --- layout -----------------------------------------------------------------

struct THtmlLayout::Atom {
  FragKind kind = FragKind::Text;
  qreal w = 0;
  qreal asc = 0;
  qreal desc = 0;
  int font = 0;
  std::uint32_t link = 0;
  const char* text = nullptr;
  std::uint32_t length = 0;
  std::size_t item = 0;
  bool endsWithSpace = false;
  TextAlign align = TextAlign::Left;
};

// One block of content of a given width: the page, or a table cell.
struct THtmlLayout::Flow {
  qreal left = 0;
  qreal right = 0;
  qreal top = 0;
  qreal y = 0;
  std::vector<Atom> line;
  qreal lineW = 0;
  qreal pendingGap = 0;     // space owed before the next line, collapsed like margins
  std::vector<bool> lists;  // open lists, numbered or not
  const char* marker = nullptr;
  std::uint32_t markerLength = 0;
  int markerFont = 0;
  bool markerPending = false;

  qreal Avail() const { return right - left; }
};

struct THtmlLayout::Cell {
  std::size_t begin = 0;  // CellBegin
  std::size_t end = 0;    // CellEnd
  int row = 0;
  int col = 0;
  int colSpan = 1;
  int rowSpan = 1;
  qreal widthPx = -1;
  qreal min = 0;
  qreal max = 0;
};

struct THtmlLayout::Table {
  std::vector<Cell> cells;  // row by row
  int rows = 0;
  int cols = 0;
  std::vector<qreal> colMin;
  std::vector<qreal> colMax;
  qreal border = 0;
  qreal frame = 0;  // padding and the cell's own border, on each side
  qreal widthAttr = -1;
  bool widthPercent = false;
  qreal minTotal = 0;
  qreal maxTotal = 0;

  qreal Overhead() const { return 2 * border + (cols + 1) * kCellSpacing + cols * 2 * frame; }
};

THtmlLayout::THtmlLayout(const adw::engine::THtmlDocument& doc, TPageFonts& fonts, BoxSizer sizer)
    : m_items(doc.Items()), m_fonts(fonts), m_sizer(std::move(sizer)) {
  Match();
}

THtmlLayout::~THtmlLayout() = default;

void THtmlLayout::Match() {
  m_match.assign(m_items.size(), static_cast<std::uint32_t>(m_items.empty() ? 0 : m_items.size() - 1));
  std::vector<std::uint32_t> open;
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    switch (m_items[i].kind) {
      case LayoutKind::ListBegin:
      case LayoutKind::TableBegin:
      case LayoutKind::RowBegin:
      case LayoutKind::CellBegin:
        open.push_back(static_cast<std::uint32_t>(i));
        break;
      case LayoutKind::ListEnd:
      case LayoutKind::TableEnd:
      case LayoutKind::RowEnd:
      case LayoutKind::CellEnd:
        if (!open.empty()) {
          m_match[open.back()] = static_cast<std::uint32_t>(i);
          open.pop_back();
        }
        break;
      default:
        break;
    }
  }
}

void THtmlLayout::Run(qreal width) {
  m_frags.clear();
  m_kept.clear();
  m_itemFrags.clear();
  const qreal inner = std::max<qreal>(width - 2 * kMargin, 40);
  const qreal bottom = LayoutFlow(0, m_items.size(), kMargin, inner, kMargin);
  qreal right = 0;
  for (const TFrag& f : m_frags) right = std::max(right, f.x + f.w);
  m_size = QSizeF(std::ceil(right + kMargin), std::ceil(bottom + kMargin));
  BuildBands();
}

qreal THtmlLayout::LayoutFlow(std::size_t begin, std::size_t end, qreal x, qreal width, qreal y) {
  Flow flow;
  flow.left = x;
  flow.right = x + std::max<qreal>(width, 1);
  flow.top = flow.y = y;
  for (std::size_t i = begin; i < end; ++i) {
    const TLayoutItem& item = m_items[i];
    switch (item.kind) {
      case LayoutKind::Text:
        AddText(flow, item, i);
        break;
      case LayoutKind::LineBreak:
        FinishLine(flow, true, m_fonts.Index(item.style));
        break;
      case LayoutKind::BlockBreak:
        FinishLine(flow, false, 0);
        break;
      case LayoutKind::Paragraph: {
        FinishLine(flow, false, 0);
        const qreal gap = std::ceil(m_fonts.Font(m_fonts.Index(item.style)).lineSpacing * 0.6);
        flow.pendingGap = std::max(flow.pendingGap, gap);
        break;
      }
      case LayoutKind::Rule: {
        FinishLine(flow, false, 0);
        ApplyGap(flow);
        TFrag f;
        f.kind = FragKind::Rule;
        f.x = flow.left;
        f.y = flow.y + kRuleSpace / 2 - 1;
        f.w = flow.Avail();
        f.h = 2;
        f.item = i;
        m_frags.push_back(f);
        flow.y += kRuleSpace;
        break;
      }
      case LayoutKind::Image:
      case LayoutKind::Control: {
        const TBoxSize box = m_sizer(i);
        Atom atom;
        atom.kind = item.kind == LayoutKind::Image ? FragKind::Image : FragKind::Control;
        atom.w = box.w;
        atom.asc = box.baseline;
        atom.desc = box.h - box.baseline;
        atom.item = i;
        atom.align = item.style.align;
        AddAtom(flow, atom, true);
        break;
      }
      case LayoutKind::Anchor: {
        TFrag f;
        f.kind = FragKind::Anchor;
        f.x = flow.left;
        f.y = flow.y;
        f.item = i;
        m_frags.push_back(f);
        break;
      }
      case LayoutKind::ListBegin:
        FinishLine(flow, false, 0);
        if (flow.lists.empty()) flow.pendingGap = std::max(flow.pendingGap, qreal(8));
        flow.lists.push_back(item.number != 0);
        flow.left += kListIndent;
        break;
      case LayoutKind::ListItem: {
        // An item left empty still shows its marker on a line of its own.
        FinishLine(flow, false, 0);
        static const std::string kBullets[] = {"\x95", "o", "-"};
        const std::string* marker = nullptr;
        if (item.number > 0) {
          marker = &m_kept.emplace_back(std::to_string(item.number) + ".");
        } else {
          marker = &kBullets[std::min<std::size_t>(flow.lists.empty() ? 0 : flow.lists.size() - 1, 2)];
        }
        flow.marker = marker->data();
        flow.markerLength = static_cast<std::uint32_t>(marker->size());
        flow.markerFont = m_fonts.Index(item.style);
        flow.markerPending = true;
        break;
      }
      case LayoutKind::ListEnd:
        FinishLine(flow, false, 0);
        if (!flow.lists.empty()) {
          flow.lists.pop_back();
          flow.left -= kListIndent;
        }
        if (flow.lists.empty()) flow.pendingGap = std::max(flow.pendingGap, qreal(8));
        break;
      case LayoutKind::TableBegin: {
        FinishLine(flow, false, 0);
        ApplyGap(flow);
        if (flow.markerPending) FlushMarker(flow, flow.y + m_fonts.Font(flow.markerFont).ascent);
        flow.y += LayoutTable(i, flow.left, flow.Avail(), flow.y);
        i = m_match[i];
        break;
      }
      default:
        break;  // rows and cells are laid out by their table
    }
  }
  FinishLine(flow, false, 0);
  return flow.y;
}

void THtmlLayout::AddText(Flow& flow, const TLayoutItem& item, std::size_t index) {
  const int fontIndex = m_fonts.Index(item.style);
  const TPageFont& font = m_fonts.Font(fontIndex);
  const std::string& s = item.text;
  Atom base;
  base.font = fontIndex;
  base.link = item.style.link;
  base.item = index;
  base.asc = font.ascent;
  base.desc = font.descent;
  base.align = item.style.align;
  if (item.style.preformatted) {
    Atom atom = base;
    atom.text = s.data();
    atom.length = static_cast<std::uint32_t>(s.size());
    atom.w = font.Width(s);
    AddAtom(flow, atom, false);
    return;
  }
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ' ') {
      if (!flow.line.empty()) {
        Atom atom = base;
        atom.text = s.data() + i;
        atom.length = 1;
        atom.w = font.advance[' '];
        atom.endsWithSpace = true;
        AddAtom(flow, atom, false);
      }
      ++i;
      continue;
    }
    std::size_t j = i;
    qreal w = 0;
    while (j < s.size() && s[j] != ' ') w += font.advance[static_cast<unsigned char>(s[j++])];
    Atom atom = base;
    atom.text = s.data() + i;
    atom.length = static_cast<std::uint32_t>(j - i);
    atom.w = w;
    AddAtom(flow, atom, true);
    i = j;
  }
}

void THtmlLayout::AddAtom(Flow& flow, Atom atom, bool breakBefore) {
  if (breakBefore && !flow.line.empty() && flow.lineW + atom.w > flow.Avail()) {
    // Words written together across a style change stay together; a line
    // too narrow for them lets them stick out.
    const Atom& last = flow.line.back();
    if (last.kind != FragKind::Text || last.endsWithSpace || atom.kind != FragKind::Text)
      FinishLine(flow, false, atom.font);
  }
  if (atom.kind == FragKind::Text && !flow.line.empty()) {
    Atom& last = flow.line.back();
    if (last.kind == FragKind::Text && last.item == atom.item && last.text + last.length == atom.text) {
      last.length += atom.length;
      last.w += atom.w;
      last.endsWithSpace = atom.endsWithSpace;
      flow.lineW += atom.w;
      return;
    }
  }
  flow.lineW += atom.w;
  flow.line.push_back(atom);
}

void THtmlLayout::ApplyGap(Flow& flow) {
  if (flow.pendingGap > 0 && flow.y > flow.top) flow.y += flow.pendingGap;
  flow.pendingGap = 0;
}

void THtmlLayout::FlushMarker(Flow& flow, qreal baseline) {
  if (!flow.markerPending) return;
  flow.markerPending = false;
  const TPageFont& font = m_fonts.Font(flow.markerFont);
  TFrag f;
  f.kind = FragKind::Marker;
  f.font = flow.markerFont;
  f.w = font.Width(std::string_view(flow.marker, flow.markerLength));
  f.x = flow.left - kMarkerGap - f.w;
  f.y = baseline - font.ascent;
  f.h = font.lineSpacing;
  f.baseline = baseline;
  f.text = flow.marker;
  f.length = flow.markerLength;
  m_frags.push_back(f);
}

void THtmlLayout::FinishLine(Flow& flow, bool forceEmpty, int emptyFont) {
  if (flow.line.empty()) {
    if (!forceEmpty && !flow.markerPending) return;
    const TPageFont& font = m_fonts.Font(flow.markerPending && !forceEmpty ? flow.markerFont : emptyFont);
    ApplyGap(flow);
    FlushMarker(flow, flow.y + font.ascent);
    flow.y += font.lineSpacing;
    return;
  }
  Atom& last = flow.line.back();
  if (last.kind == FragKind::Text && last.endsWithSpace && last.length > 0) {
    const qreal space = m_fonts.Font(last.font).advance[' '];
    last.length -= 1;
    last.w -= space;
    flow.lineW -= space;
  }
  qreal asc = 0;
  qreal desc = 0;
  for (const Atom& a : flow.line) {
    asc = std::max(asc, a.asc);
    desc = std::max(desc, a.desc);
  }
  ApplyGap(flow);
  qreal x = flow.left;
  const qreal spare = flow.Avail() - flow.lineW;
  if (spare > 0) {
    if (flow.line.front().align == TextAlign::Center) x += std::floor(spare / 2);
    if (flow.line.front().align == TextAlign::Right) x += std::floor(spare);
  }
  const qreal baseline = flow.y + asc;
  for (const Atom& a : flow.line) {
    if (a.kind != FragKind::Text || a.length > 0) {
      TFrag f;
      f.kind = a.kind;
      f.font = a.font;
      f.link = a.link;
      f.x = a.kind == FragKind::Text ? x : std::round(x);
      f.y = baseline - a.asc;
      f.w = a.w;
      f.h = a.asc + a.desc;
      f.baseline = baseline;
      f.text = a.text;
      f.length = a.length;
      f.item = a.item;
      if (a.kind == FragKind::Control || a.kind == FragKind::Image)
        m_itemFrags[a.item] = static_cast<std::uint32_t>(m_frags.size());
      m_frags.push_back(f);
    }
    x += a.w;
  }
  FlushMarker(flow, baseline);
  flow.y += asc + desc;
  flow.line.clear();
  flow.lineW = 0;
}

std::pair<qreal, qreal> THtmlLayout::MeasureFlow(std::size_t begin, std::size_t end) {
  qreal least = 0;  // the widest thing that cannot be broken
  qreal most = 0;   // the widest line when nothing wraps
  qreal line = 0;
  qreal indent = 0;
  const auto endLine = [&] {
    most = std::max(most, indent + line);
    line = 0;
  };
  for (std::size_t i = begin; i < end; ++i) {
    const TLayoutItem& item = m_items[i];
    switch (item.kind) {
      case LayoutKind::Text: {
        const TPageFont& font = m_fonts.Font(m_fonts.Index(item.style));
        if (item.style.preformatted) {
          line += font.Width(item.text);
          least = std::max(least, indent + line);
          break;
        }
        qreal word = 0;
        for (char c : item.text) {
          if (c == ' ') {
            least = std::max(least, indent + word);
            word = 0;
            if (line > 0) line += font.advance[' '];
            continue;
          }
          const qreal w = font.advance[static_cast<unsigned char>(c)];
          word += w;
          line += w;
        }
        least = std::max(least, indent + word);
        break;
      }
      case LayoutKind::LineBreak:
      case LayoutKind::BlockBreak:
      case LayoutKind::Paragraph:
      case LayoutKind::Rule:
      case LayoutKind::ListItem:
        endLine();
        break;
      case LayoutKind::ListBegin:
        endLine();
        indent += kListIndent;
        break;
      case LayoutKind::ListEnd:
        endLine();
        indent = std::max<qreal>(0, indent - kListIndent);
        break;
      case LayoutKind::Image:
      case LayoutKind::Control: {
        const TBoxSize box = m_sizer(i);
        least = std::max(least, indent + box.w);
        line += box.w;
        break;
      }
      case LayoutKind::TableBegin: {
        endLine();
        const Table& table = TableAt(i);
        least = std::max(least, indent + table.minTotal);
        most = std::max(most, indent + table.maxTotal);
        i = m_match[i];
        break;
      }
      default:
        break;
    }
  }
  endLine();
  return {least, std::max(least, most)};
}

THtmlLayout::Table& THtmlLayout::TableAt(std::size_t begin) {
  if (const auto it = m_tables.find(begin); it != m_tables.end()) return *it->second;
  auto table = std::make_unique<Table>();
  Table& t = *table;
  const TLayoutItem& head = m_items[begin];
  t.border = std::min(head.number, kMaxBorder);
  t.frame = kCellPadding + (t.border > 0 ? 1 : 0);
  t.widthAttr = head.width;
  t.widthPercent = head.widthPercent;

  // Cells go to the first free column of their row, past the columns that
  // cells of the rows above still cover.
  const std::size_t end = m_match[begin];
  int row = -1;
  int cursor = 0;
  std::vector<int> busyUntil;
  for (std::size_t i = begin + 1; i < end; ++i) {
    const TLayoutItem& item = m_items[i];
    if (item.kind == LayoutKind::RowBegin) {
      ++row;
      cursor = 0;
      continue;
    }
    if (item.kind != LayoutKind::CellBegin) continue;
    row = std::max(row, 0);
    int col = cursor;
    while (col < static_cast<int>(busyUntil.size()) && busyUntil[static_cast<std::size_t>(col)] > row) ++col;
    Cell cell;
    cell.begin = i;
    cell.end = m_match[i];
    cell.row = row;
    cell.col = col;
    cell.colSpan = std::clamp(item.colSpan, 1, kMaxSpan);
    cell.rowSpan = std::clamp(item.rowSpan, 1, kMaxSpan);
    if (item.width > 0 && !item.widthPercent) cell.widthPx = item.width;
    if (busyUntil.size() < static_cast<std::size_t>(col + cell.colSpan))
      busyUntil.resize(static_cast<std::size_t>(col + cell.colSpan), 0);
    for (int c = col; c < col + cell.colSpan; ++c)
      busyUntil[static_cast<std::size_t>(c)] = row + cell.rowSpan;
    cursor = col + cell.colSpan;
    t.cells.push_back(cell);
    i = cell.end;
  }
  t.rows = row + 1;
  t.cols = static_cast<int>(busyUntil.size());
  t.colMin.assign(static_cast<std::size_t>(t.cols), 0);
  t.colMax.assign(static_cast<std::size_t>(t.cols), 0);

  for (Cell& cell : t.cells) {
    cell.rowSpan = std::min(cell.rowSpan, t.rows - cell.row);
    const auto [least, most] = MeasureFlow(cell.begin + 1, cell.end);
    cell.min = least;
    cell.max = cell.widthPx > 0 ? std::max(least, std::min<qreal>(cell.widthPx, 4000)) : most;
    if (cell.colSpan == 1) {
      auto c = static_cast<std::size_t>(cell.col);
      t.colMin[c] = std::max(t.colMin[c], cell.min);
      t.colMax[c] = std::max(t.colMax[c], cell.max);
    }
  }
  // A spanning cell that needs more than its columns give shares the rest
  // out evenly.
  const qreal between = 2 * t.frame + kCellSpacing;
  for (const Cell& cell : t.cells) {
    if (cell.colSpan == 1) continue;
    const auto first = static_cast<std::size_t>(cell.col);
    const auto last = first + static_cast<std::size_t>(cell.colSpan);
    qreal haveMin = (cell.colSpan - 1) * between;
    qreal haveMax = haveMin;
    for (std::size_t c = first; c < last; ++c) {
      haveMin += t.colMin[c];
      haveMax += t.colMax[c];
    }
    for (std::size_t c = first; c < last; ++c) {
      if (cell.min > haveMin) t.colMin[c] += (cell.min - haveMin) / cell.colSpan;
      if (cell.max > haveMax) t.colMax[c] += (cell.max - haveMax) / cell.colSpan;
    }
  }
  qreal sumMin = 0;
  qreal sumMax = 0;
  for (std::size_t c = 0; c < t.colMin.size(); ++c) {
    t.colMax[c] = std::max(t.colMax[c], t.colMin[c]);
    sumMin += t.colMin[c];
    sumMax += t.colMax[c];
  }
  t.minTotal = sumMin + t.Overhead();
  t.maxTotal = sumMax + t.Overhead();
  if (t.widthAttr > 0 && !t.widthPercent) {
    t.minTotal = std::max(t.minTotal, std::min<qreal>(t.widthAttr, 20000));
    t.maxTotal = t.minTotal;
  }
  return *m_tables.emplace(begin, std::move(table)).first->second;
}

qreal THtmlLayout::LayoutTable(std::size_t begin, qreal x, qreal avail, qreal y) {
  Table& t = TableAt(begin);
  qreal target = 0;
  if (t.widthAttr > 0 && t.widthPercent) {
    target = std::max(t.minTotal, avail * std::min<qreal>(t.widthAttr, 100) / 100);
  } else if (t.widthAttr > 0) {
    target = t.minTotal;
  } else {
    target = std::max(t.minTotal, std::min(t.maxTotal, avail));
  }
  const qreal content = target - t.Overhead();
  qreal sumMin = 0;
  qreal sumMax = 0;
  for (int c = 0; c < t.cols; ++c) {
    sumMin += t.colMin[static_cast<std::size_t>(c)];
    sumMax += t.colMax[static_cast<std::size_t>(c)];
  }
  std::vector<qreal> colW(static_cast<std::size_t>(t.cols), 0);
  for (std::size_t c = 0; c < colW.size(); ++c) {
    if (content >= sumMax) {
      const qreal extra = content - sumMax;
      colW[c] = t.colMax[c] + (sumMax > 0 ? extra * t.colMax[c] / sumMax : extra / t.cols);
    } else if (content > sumMin && sumMax > sumMin) {
      colW[c] = t.colMin[c] + (t.colMax[c] - t.colMin[c]) * (content - sumMin) / (sumMax - sumMin);
    } else {
      colW[c] = t.colMin[c];
    }
  }
  qreal tx = x;
  const TextAlign align = m_items[begin].style.align;
  if (avail > target && align == TextAlign::Center) tx += std::floor((avail - target) / 2);
  if (avail > target && align == TextAlign::Right) tx += std::floor(avail - target);

  std::vector<qreal> colX(colW.size(), 0);
  qreal cx = tx + t.border + kCellSpacing;
  for (std::size_t c = 0; c < colW.size(); ++c) {
    colX[c] = std::round(cx);
    cx += colW[c] + 2 * t.frame + kCellSpacing;
  }

  struct Placed {
    qreal width = 0;  // the cell's content width
    qreal contentH = 0;
    std::size_t fragsBegin = 0;
    std::size_t fragsEnd = 0;
  };
  std::vector<Placed> placed(t.cells.size());
  std::vector<std::vector<std::size_t>> endingAt(static_cast<std::size_t>(std::max(t.rows, 0)));
  for (std::size_t i = 0; i < t.cells.size(); ++i)
    endingAt[static_cast<std::size_t>(t.cells[i].row + t.cells[i].rowSpan - 1)].push_back(i);
  std::vector<qreal> rowTop(endingAt.size(), 0);

  qreal rowY = y + t.border + kCellSpacing;
  std::size_t next = 0;
  for (std::size_t r = 0; r < endingAt.size(); ++r) {
    rowTop[r] = rowY;
    qreal rowH = 0;
    for (; next < t.cells.size() && t.cells[next].row == static_cast<int>(r); ++next) {
      const Cell& cell = t.cells[next];
      Placed& p = placed[next];
      const auto first = static_cast<std::size_t>(cell.col);
      for (std::size_t c = first; c < first + static_cast<std::size_t>(cell.colSpan); ++c) p.width += colW[c];
      p.width += (cell.colSpan - 1) * (2 * t.frame + kCellSpacing);
      const qreal top = rowY + t.frame;
      p.fragsBegin = m_frags.size();
      p.contentH = LayoutFlow(cell.begin + 1, cell.end, colX[first] + t.frame, p.width, top) - top;
      p.fragsEnd = m_frags.size();
      if (cell.rowSpan == 1) rowH = std::max(rowH, p.contentH + 2 * t.frame);
    }
    for (std::size_t e : endingAt[r]) {
      const Cell& cell = t.cells[e];
      rowH = std::max(rowH,
                      placed[e].contentH + 2 * t.frame - (rowY - rowTop[static_cast<std::size_t>(cell.row)]));
    }
    // Cell content sits in the middle of its cell, as browsers put it.
    for (std::size_t e : endingAt[r]) {
      const Cell& cell = t.cells[e];
      const Placed& p = placed[e];
      const qreal boxTop = rowTop[static_cast<std::size_t>(cell.row)];
      const qreal boxH = rowY + rowH - boxTop;
      const qreal dy = std::floor((boxH - 2 * t.frame - p.contentH) / 2);
      if (dy > 0) Shift(p.fragsBegin, p.fragsEnd, dy);
      if (t.border > 0) {
        TFrag f;
        f.kind = FragKind::Box;
        f.x = colX[static_cast<std::size_t>(cell.col)];
        f.y = boxTop;
        f.w = p.width + 2 * t.frame;
        f.h = boxH;
        f.length = 1;
        f.item = cell.begin;
        m_frags.push_back(f);
      }
    }
    rowY += rowH + kCellSpacing;
  }
  const qreal height = rowY - y + t.border;
  if (t.border > 0) {
    TFrag f;
    f.kind = FragKind::Box;
    f.x = tx;
    f.y = y;
    f.w = target;
    f.h = height;
    f.length = static_cast<std::uint32_t>(t.border);
    f.item = begin;
    m_frags.push_back(f);
  }
  return height;
}

void THtmlLayout::Shift(std::size_t from, std::size_t to, qreal dy) {
  for (std::size_t i = from; i < to; ++i) {
    m_frags[i].y += dy;
    m_frags[i].baseline += dy;
  }
}

void THtmlLayout::BuildBands() {
  m_bands.assign(BandOf(m_size.height()) + 1, {});
  for (std::size_t i = 0; i < m_frags.size(); ++i) {
    const TFrag& f = m_frags[i];
    if (f.kind == FragKind::Anchor) continue;
    const std::size_t last = std::min(BandOf(f.y + f.h), m_bands.size() - 1);
    for (std::size_t b = std::min(BandOf(f.y), last); b <= last; ++b)
      m_bands[b].push_back(static_cast<std::uint32_t>(i));
  }
}

void THtmlLayout::FragsIn(const QRectF& rect, std::vector<std::uint32_t>& out) const {
  out.clear();
  if (m_bands.empty() || rect.bottom() < 0) return;
  const std::size_t first = std::min(BandOf(rect.top()), m_bands.size() - 1);
  const std::size_t last = std::min(BandOf(rect.bottom()), m_bands.size() - 1);
  for (std::size_t b = first; b <= last; ++b) {
    for (std::uint32_t i : m_bands[b]) {
      const TFrag& f = m_frags[i];
      // A piece filed in several bands is taken in the first one looked at.
      if (std::max(BandOf(f.y), first) != b) continue;
      if (f.x > rect.right() || f.x + f.w < rect.left() || f.y > rect.bottom() || f.y + f.h < rect.top())
        continue;
      out.push_back(i);
    }
  }
}

std::uint32_t THtmlLayout::LinkAt(QPointF point) const {
  if (m_bands.empty() || point.y() < 0) return 0;
  const std::size_t band = BandOf(point.y());
  if (band >= m_bands.size()) return 0;
  for (std::uint32_t i : m_bands[band]) {
    const TFrag& f = m_frags[i];
    if (f.kind == FragKind::Text && f.link != 0 && f.Rect().contains(point)) return f.link;
  }
  return 0;
}

std::optional<std::uint32_t> THtmlLayout::FragOfItem(std::size_t item) const {
  const auto it = m_itemFrags.find(item);
  if (it == m_itemFrags.end()) return std::nullopt;
  return it->second;
}

std::optional<qreal> THtmlLayout::AnchorTop(std::string_view name) const {
  for (const TFrag& f : m_frags) {
    if (f.kind == FragKind::Anchor && m_items[f.item].text == name) return f.y;
  }
  return std::nullopt;
}

}  // namespace adw::ui
