#include "engine/wizard/html/char_refs.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/text1251.h"

namespace adw::engine {

namespace {

struct NamedRef {
  std::string_view name;
  std::uint32_t codePoint;
};

// The Latin-1 names, code points 160 to 255 in order. These are also the
// names that old pages write without the closing ";".
constexpr std::array<std::string_view, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

constexpr std::array<NamedRef, 11> kLegacyOthers = {{
    {"amp", 38},
    {"lt", 60},
    {"gt", 62},
    {"quot", 34},
    {"AMP", 38},
    {"LT", 60},
    {"GT", 62},
    {"QUOT", 34},
    {"COPY", 169},
    {"REG", 174},
    {"apos", 39},
}};

constexpr NamedRef kOtherNames[] = {
    {"OElig", 338},   {"oelig", 339},   {"Scaron", 352},   {"scaron", 353},  {"Yuml", 376},
    {"fnof", 402},    {"circ", 710},    {"tilde", 732},    {"Alpha", 913},   {"Beta", 914},
    {"Gamma", 915},   {"Delta", 916},   {"Epsilon", 917},  {"Zeta", 918},    {"Eta", 919},
    {"Theta", 920},   {"Iota", 921},    {"Kappa", 922},    {"Lambda", 923},  {"Mu", 924},
    {"Nu", 925},      {"Xi", 926},      {"Omicron", 927},  {"Pi", 928},      {"Rho", 929},
    {"Sigma", 931},   {"Tau", 932},     {"Upsilon", 933},  {"Phi", 934},     {"Chi", 935},
    {"Psi", 936},     {"Omega", 937},   {"alpha", 945},    {"beta", 946},    {"gamma", 947},
    {"delta", 948},   {"epsilon", 949}, {"zeta", 950},     {"eta", 951},     {"theta", 952},
    {"iota", 953},    {"kappa", 954},   {"lambda", 955},   {"mu", 956},      {"nu", 957},
    {"xi", 958},      {"omicron", 959}, {"pi", 960},       {"rho", 961},     {"sigmaf", 962},
    {"sigma", 963},   {"tau", 964},     {"upsilon", 965},  {"phi", 966},     {"chi", 967},
    {"psi", 968},     {"omega", 969},   {"thetasym", 977}, {"upsih", 978},   {"piv", 982},
    {"ensp", 8194},   {"emsp", 8195},   {"thinsp", 8201},  {"zwnj", 8204},   {"zwj", 8205},
    {"lrm", 8206},    {"rlm", 8207},    {"ndash", 8211},   {"mdash", 8212},  {"lsquo", 8216},
    {"rsquo", 8217},  {"sbquo", 8218},  {"ldquo", 8220},   {"rdquo", 8221},  {"bdquo", 8222},
    {"dagger", 8224}, {"Dagger", 8225}, {"bull", 8226},    {"hellip", 8230}, {"permil", 8240},
    {"prime", 8242},  {"Prime", 8243},  {"lsaquo", 8249},  {"rsaquo", 8250}, {"oline", 8254},
    {"frasl", 8260},  {"euro", 8364},   {"image", 8465},   {"weierp", 8472}, {"real", 8476},
    {"numero", 8470}, {"trade", 8482},  {"alefsym", 8501}, {"larr", 8592},   {"uarr", 8593},
    {"rarr", 8594},   {"darr", 8595},   {"harr", 8596},    {"crarr", 8629},  {"lArr", 8656},
    {"uArr", 8657},   {"rArr", 8658},   {"dArr", 8659},    {"hArr", 8660},   {"forall", 8704},
    {"part", 8706},   {"exist", 8707},  {"empty", 8709},   {"nabla", 8711},  {"isin", 8712},
    {"notin", 8713},  {"ni", 8715},     {"prod", 8719},    {"sum", 8721},    {"minus", 8722},
    {"lowast", 8727}, {"radic", 8730},  {"prop", 8733},    {"infin", 8734},  {"ang", 8736},
    {"and", 8743},    {"or", 8744},     {"cap", 8745},     {"cup", 8746},    {"int", 8747},
    {"there4", 8756}, {"sim", 8764},    {"cong", 8773},    {"asymp", 8776},  {"ne", 8800},
    {"equiv", 8801},  {"le", 8804},     {"ge", 8805},      {"sub", 8834},    {"sup", 8835},
    {"nsub", 8836},   {"sube", 8838},   {"supe", 8839},    {"oplus", 8853},  {"otimes", 8855},
    {"perp", 8869},   {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},  {"lfloor", 8970},
    {"rfloor", 8971}, {"lang", 9001},   {"rang", 9002},    {"loz", 9674},    {"spades", 9824},
    {"clubs", 9827},  {"hearts", 9829}, {"diams", 9830},
};

struct RefTable {
  std::vector<NamedRef> sorted;  // by name
  std::vector<NamedRef> legacy;  // by name: valid without ";"
};

const RefTable& Table() {
  static const RefTable table = [] {
    RefTable t;
    for (std::size_t i = 0; i < kLatin1Names.size(); ++i) {
      const NamedRef ref{kLatin1Names[i], static_cast<std::uint32_t>(160 + i)};
      t.sorted.push_back(ref);
      t.legacy.push_back(ref);
    }
    for (const NamedRef& ref : kLegacyOthers) {
      t.sorted.push_back(ref);
      if (ref.name != "apos") t.legacy.push_back(ref);
    }
    for (const NamedRef& ref : kOtherNames) t.sorted.push_back(ref);
    const auto byName = [](const NamedRef& a, const NamedRef& b) { return a.name < b.name; };
    std::sort(t.sorted.begin(), t.sorted.end(), byName);
    std::sort(t.legacy.begin(), t.legacy.end(), byName);
    return t;
  }();
  return table;
}

const NamedRef* Lookup(const std::vector<NamedRef>& refs, std::string_view name) {
  auto it = std::lower_bound(refs.begin(), refs.end(), name,
                             [](const NamedRef& r, std::string_view n) { return r.name < n; });
  return it != refs.end() && it->name == name ? &*it : nullptr;
}

// Numeric references in 128..159 name the Windows-1252 characters there, as
// pages written on Windows meant them; 0 stands for the undefined places.
constexpr std::array<std::uint16_t, 32> kC1As1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsAlnum(char c) {
  return IsAlpha(c) || IsDigit(c);
}
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  const char l = platform::LowerAscii(c);
  return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

constexpr std::size_t kLongestName = 8;

// Decodes the reference at text[amp] ('&'); returns the number of bytes it
// takes, 0 when it is not a reference (the '&' then stands for itself).
std::size_t DecodeOne(std::string& out, std::string_view text, std::size_t amp, bool inAttribute) {
  std::size_t i = amp + 1;
  if (i < text.size() && text[i] == '#') {
    ++i;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    const std::size_t digitsFrom = i;
    std::uint32_t value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
      const int d = hex ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
      if (d < 0) break;
      value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
      if (value > 0x10FFFF) overflow = true, value = 0x110000;
    }
    if (i == digitsFrom) return 0;
    if (i < text.size() && text[i] == ';') ++i;
    out.push_back(overflow ? '?' : CodePointTo1251(value));
    return i - amp;
  }
  std::size_t end = i;
  while (end < text.size() && end - i <= kLongestName && IsAlnum(text[end])) ++end;
  if (end == i || end - i > kLongestName) return 0;
  const std::string_view name = text.substr(i, end - i);
  if (end < text.size() && text[end] == ';') {
    if (const NamedRef* ref = Lookup(Table().sorted, name)) {
      out.push_back(CodePointTo1251(ref->codePoint));
      return end + 1 - amp;
    }
    return 0;
  }
  const NamedRef* ref = Lookup(Table().legacy, name);
  if (!ref) return 0;
  if (inAttribute && end < text.size() && text[end] == '=') return 0;
  out.push_back(CodePointTo1251(ref->codePoint));
  return end - amp;
}

}  // namespace

char CodePointTo1251(std::uint32_t cp) {
  if (cp >= 0x80 && cp <= 0x9F) cp = kC1As1252[cp - 0x80];
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return '?';
  if (cp < 0x80) return static_cast<char>(cp);
  std::string utf8;
  if (cp < 0x800) {
    utf8 += static_cast<char>(0xC0 | (cp >> 6));
    utf8 += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (cp >> 12));
    utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    return '?';
  }
  const std::string one = platform::Utf8ToCp1251(utf8);
  return one.size() == 1 ? one[0] : '?';
}

void AppendDecoded(std::string& out, std::string_view text, bool inAttribute) {
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t amp = text.find('&', from);
    if (amp == std::string_view::npos) {
      out.append(text.substr(from));
      return;
    }
    out.append(text.substr(from, amp - from));
    const std::size_t taken = DecodeOne(out, text, amp, inAttribute);
    if (taken == 0) {
      out.push_back('&');
      from = amp + 1;
    } else {
      from = amp + taken;
    }
  }
}

std::string DecodeCharRefs(std::string_view text, bool inAttribute) {
  std::string out;
  out.reserve(text.size());
  AppendDecoded(out, text, inAttribute);
  return out;
}

}  // namespace adw::engine
