#include "engine/posting/job_body.h"

#include "engine/posting/letter_tables.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

constexpr auto npos = std::string_view::npos;

// Replaces every occurrence of what, left to right and without overlap;
// inserted text is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  if (what.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at = text.find(what); at != npos; at = text.find(what, from)) {
    out.append(text.substr(from, at - from));
    out.append(with);
    from = at + what.size();
  }
  out.append(text.substr(from));
  return out;
}

// The placeholder an ad line stands for and the value it puts in.
void SplitAdLine(std::string_view line, std::string_view& placeholder, std::string_view& value) {
  std::size_t dollar = line.find('$');
  std::size_t equals = line.find('=');
  value = equals == npos ? std::string_view() : line.substr(equals + 1);
  if (dollar == npos) {
    placeholder = equals == npos ? std::string_view() : line.substr(0, equals + 1);
  } else if (equals != npos && dollar > equals) {
    placeholder = {};
  } else {
    placeholder = line.substr(dollar, equals == npos ? npos : equals - dollar);
  }
}

// Position of the pair whose text starts with prefix (at the body's start or
// right after an "&"); npos when there is none or prefix is empty.
std::size_t FindPairStart(const std::string& body, std::string_view prefix) {
  if (prefix.empty()) return npos;
  for (std::size_t at = body.find(prefix); at != npos; at = body.find(prefix, at + 1)) {
    if (at == 0 || body[at - 1] == '&') return at;
  }
  return npos;
}

std::string ApplyMapLine(std::string body, std::string_view mapLine) {
  std::size_t dollar = mapLine.find('$');
  std::size_t equals = mapLine.find('=');
  std::string_view option = dollar == npos ? std::string_view() : mapLine.substr(0, dollar);
  std::string_view prefix;
  if (equals != npos) {
    if (dollar == npos) {
      prefix = mapLine.substr(0, equals + 1);
    } else if (dollar < equals) {
      prefix = mapLine.substr(dollar + 1, equals - dollar);
    }
  }
  std::string pair = std::string(prefix) + std::string(option);

  // The pair named by the line is the one to set. Searching the option value
  // first, anywhere in the body, would pick another field that merely holds
  // the same text (a phone number 1555 for the option 15) and overwrite the
  // ad's own text; so a pair that starts with the line's name wins, and the
  // loose search is kept only for bodies that have no such pair.
  std::size_t anchor = FindPairStart(body, prefix);
  if (anchor == npos && !option.empty()) anchor = body.find(option);
  if (anchor == npos && !prefix.empty()) anchor = body.find(prefix);
  if (anchor == npos) return body;

  std::size_t end = body.find('&', anchor);
  if (end == std::string::npos) end = body.size();
  std::size_t start = body.rfind('&', anchor);  // npos: the pair starts the body
  std::size_t pairStart = start == std::string::npos ? 0 : start + 1;

  body.insert(end, pair);
  if (end > pairStart) body.erase(pairStart, end - pairStart);
  return body;
}

}  // namespace

std::string EscapeFieldValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '+':
        out += "%2B";
        break;
      case '&':
        out += "%26";
        break;
      case '=':
        out += "%3D";
        break;
      case '%':
        out += "%25";
        break;
      default:
        out += c;
    }
  }
  return out;
}

namespace {

template <typename Encode>
std::string FillBody(std::string_view subBody, const std::vector<std::string>& adLines,
                     std::string_view mapLine, Encode encode) {
  std::string body(subBody);
  for (const std::string& line : adLines) {
    std::string_view placeholder;
    std::string_view value;
    SplitAdLine(line, placeholder, value);
    if (placeholder.empty()) continue;
    body = ReplaceAll(body, placeholder, encode(value));
  }
  if (mapLine.empty()) return body;
  return ApplyMapLine(std::move(body), mapLine);
}

}  // namespace

std::string BuildJobBody(std::string_view subBody, const std::vector<std::string>& adLines,
                         std::string_view mapLine) {
  return FillBody(subBody, adLines, mapLine, EscapeFieldValue);
}

BoardCodePage BoardCodePageOf(std::string_view code) {
  if (code == "KOI8-R") return BoardCodePage::Koi8R;
  if (platform::EqualsNoCase(code, "UTF-8") || platform::EqualsNoCase(code, "UTF8"))
    return BoardCodePage::Utf8;
  return BoardCodePage::Win1251;
}

std::string EncodeFormValue(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '*' || b == '-' ||
        b == '.' || b == '_') {
      out.push_back(c);
    } else if (b == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0x0F]);
    }
  }
  return out;
}

std::string BuildJobBody(std::string_view subBody, const std::vector<std::string>& adLines,
                         std::string_view mapLine, BoardCodePage codePage) {
  switch (codePage) {
    case BoardCodePage::Koi8R:
      return TranslateChars(BuildJobBody(subBody, adLines, mapLine), LettersWin1251(), LettersKOI8R());
    case BoardCodePage::Utf8: {
      // The encoded values are plain ASCII, so converting the whole body
      // afterwards leaves them as they are.
      const auto encode = [](std::string_view value) {
        return EncodeFormValue(platform::Cp1251ToUtf8(value));
      };
      return platform::Cp1251ToUtf8(FillBody(subBody, adLines, mapLine, encode));
    }
    case BoardCodePage::Win1251:
      break;
  }
  return BuildJobBody(subBody, adLines, mapLine);
}

std::string LookupGroupValue(std::string_view categoryValue, const std::vector<std::string>& variabLines) {
  if (categoryValue.empty()) return {};
  std::size_t dollar = categoryValue.find('$');
  std::string_view groupKey = dollar == npos ? categoryValue : categoryValue.substr(dollar);
  for (const std::string& line : variabLines) {
    if (line.find(groupKey) == std::string::npos) continue;
    std::size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(equals + 1);
  }
  return {};
}

std::vector<std::string> ReadSectionLines(const platform::IniFile& file, std::string_view section) {
  std::vector<std::string> lines;
  for (const std::string& key : file.ReadSectionKeys(section)) {
    lines.push_back(key + "=" + file.ReadString(section, key, ""));
  }
  return lines;
}

std::string BuildJobBody(const platform::IniFile& boardFile, const platform::IniFile& adStore,
                         std::string_view adName, std::string_view mapLine) {
  return BuildJobBody(boardFile.ReadString("Project", "SUBBODY", ""), ReadSectionLines(adStore, adName),
                      mapLine);
}

std::string LookupGroupValue(const platform::IniFile& variablesMap, std::string_view categoryValue) {
  return LookupGroupValue(categoryValue, ReadSectionLines(variablesMap, "Variab"));
}

}  // namespace adw::engine
