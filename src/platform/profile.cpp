#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/concat.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::platform {

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// Bounds of s without the blanks around it.
std::pair<std::size_t, std::size_t> TrimBounds(std::string_view s, std::size_t b, std::size_t e) {
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return {b, e};
}

// The form a name is looked up by: without blanks around it, Latin letters
// folded.
std::string Fold(std::string_view name) {
  return LowerAscii(Trim(name));
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

void CheckSection(std::string_view section) {
  if (HasLineBreak(section)) throw ProfileValueError("Section name holds a line break");
}

void CheckKey(std::string_view key) {
  std::string trimmed = Trim(key);
  if (trimmed.empty()) throw ProfileValueError("Key name is empty");
  if (HasLineBreak(key)) throw ProfileValueError("Key name holds a line break: " + trimmed.substr(0, 64));
  if (key.find('=') != std::string_view::npos)
    throw ProfileValueError("Key name holds \"=\": " + trimmed.substr(0, 64));
  if (trimmed.front() == '[') throw ProfileValueError("Key name starts with \"[\": " + trimmed.substr(0, 64));
}

void CheckValue(std::string_view key, std::string_view value) {
  if (HasLineBreak(value))
    throw ProfileValueError("Value of " + Trim(key).substr(0, 64) + " holds a line break");
}

}  // namespace

ProfileWriteError::ProfileWriteError(const std::string& path)
    : std::runtime_error("Unable to write to " + path) {}

// ---------------------------------------------------------------------------
// IniDocument

IniDocument::Line IniDocument::ParseLine(std::string raw, Eol eol) {
  Line line;
  line.raw = std::move(raw);
  line.eol = eol;
  std::string_view s = line.raw;
  auto [b, e] = TrimBounds(s, 0, s.size());
  auto set = [&line](std::size_t nb, std::size_t ne, std::size_t vb, std::size_t ve) {
    line.nameBegin = static_cast<std::uint32_t>(nb);
    line.nameLength = static_cast<std::uint32_t>(ne - nb);
    line.valueBegin = static_cast<std::uint32_t>(vb);
    line.valueLength = static_cast<std::uint32_t>(ve - vb);
  };
  if (b == e) {
    line.kind = Kind::Blank;
    return line;
  }
  if (s[b] == '[') {
    // The name runs to the last "]", so a name that holds "]" itself reads
    // back as it was written.
    std::size_t close = s.rfind(']', e - 1);
    std::size_t nameEnd = (close == std::string_view::npos || close <= b) ? e : close;
    auto [nb, ne] = TrimBounds(s, b + 1, nameEnd);
    line.kind = Kind::Section;
    set(nb, ne, 0, 0);
    return line;
  }
  std::size_t eq = s.find('=', b);
  if (eq == std::string_view::npos || eq >= e) {
    line.kind = Kind::Bare;
    set(b, e, 0, 0);
    return line;
  }
  auto [kb, ke] = TrimBounds(s, b, eq);
  auto [vb, ve] = TrimBounds(s, eq + 1, e);
  if (ve - vb >= 2 && (s[vb] == '"' || s[vb] == '\'') && s[ve - 1] == s[vb]) {
    ++vb;
    --ve;
  }
  line.kind = Kind::Key;
  set(kb, ke, vb, ve);
  return line;
}

void IniDocument::Section::Reindex() {
  firstKey.clear();
  for (std::size_t i = 0; i < body.size(); ++i) {
    const Line& l = body[i];
    if ((l.kind == Kind::Key || l.kind == Kind::Bare) && l.nameLength > 0) {
      firstKey.try_emplace(LowerAscii(l.Name()), i);
    }
  }
}

void IniDocument::ReindexSections() {
  m_firstSection.clear();
  for (std::size_t i = 0; i < m_sections.size(); ++i) {
    if (m_sections[i].hasHeader) m_firstSection.try_emplace(LowerAscii(m_sections[i].header.Name()), i);
  }
}

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  doc.m_sections.emplace_back();  // the lines before the first section header
  std::size_t pos = 0;
  const std::size_t n = text.size();
  while (pos < n) {
    std::size_t end = pos;
    while (end < n && text[end] != '\n' && text[end] != '\r') ++end;
    Eol eol = Eol::None;
    std::size_t next = end;
    if (end < n) {
      if (text[end] == '\n') {
        eol = Eol::Lf;
        next = end + 1;
      } else if (end + 1 < n && text[end + 1] == '\n') {
        eol = Eol::CrLf;
        next = end + 2;
      } else {
        eol = Eol::Cr;
        next = end + 1;
      }
    }
    Line line = ParseLine(std::string(text.substr(pos, end - pos)), eol);
    if (line.kind == Kind::Section) {
      Section s;
      s.hasHeader = true;
      s.header = std::move(line);
      doc.m_sections.push_back(std::move(s));
    } else {
      doc.m_sections.back().body.push_back(std::move(line));
    }
    pos = next;
  }
  for (Section& s : doc.m_sections) s.Reindex();
  doc.ReindexSections();
  return doc;
}

std::string IniDocument::Serialize() const {
  auto eolText = [](Eol e) -> std::string_view {
    switch (e) {
      case Eol::Lf:
        return "\n";
      case Eol::CrLf:
        return "\r\n";
      case Eol::Cr:
        return "\r";
      case Eol::None:
        break;
    }
    return {};
  };
  std::size_t total = 0;
  for (const Section& s : m_sections) {
    if (s.hasHeader) total += s.header.raw.size() + 2;
    for (const Line& l : s.body) total += l.raw.size() + 2;
  }
  std::string out;
  out.reserve(total);
  for (const Section& s : m_sections) {
    if (s.hasHeader) out.append(s.header.raw).append(eolText(s.header.eol));
    for (const Line& l : s.body) out.append(l.raw).append(eolText(l.eol));
  }
  return out;
}

const IniDocument::Section* IniDocument::FindSection(std::string_view section) const {
  auto it = m_firstSection.find(Fold(section));
  return it == m_firstSection.end() ? nullptr : &m_sections[it->second];
}

IniDocument::Section* IniDocument::FindSection(std::string_view section) {
  auto it = m_firstSection.find(Fold(section));
  return it == m_firstSection.end() ? nullptr : &m_sections[it->second];
}

const IniDocument::Line* IniDocument::LastLine() const {
  for (auto it = m_sections.rbegin(); it != m_sections.rend(); ++it) {
    if (!it->body.empty()) return &it->body.back();
    if (it->hasHeader) return &it->header;
  }
  return nullptr;
}

IniDocument::Line* IniDocument::LastLine() {
  return const_cast<Line*>(static_cast<const IniDocument*>(this)->LastLine());
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(section) != nullptr;
}

bool IniDocument::HasKey(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  return s && s->firstKey.count(Fold(key)) > 0;
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view def) const {
  const Section* s = FindSection(section);
  if (!s) return std::string(def);
  auto it = s->firstKey.find(Fold(key));
  if (it == s->firstKey.end()) return std::string(def);
  return std::string(s->body[it->second].Value().substr(0, kProfileValueMax));
}

std::vector<std::string> IniDocument::ReadSectionKeys(std::string_view section) const {
  std::vector<std::string> keys;
  const Section* s = FindSection(section);
  if (!s) return keys;
  std::size_t used = 0;
  for (std::size_t i = 0; i < s->body.size(); ++i) {
    const Line& l = s->body[i];
    if ((l.kind != Kind::Key && l.kind != Kind::Bare) || l.nameLength == 0) continue;
    auto it = s->firstKey.find(LowerAscii(l.Name()));
    if (it == s->firstKey.end() || it->second != i) continue;  // a repeated key
    if (used + l.nameLength + 1 > kProfileKeyListMax) break;
    used += l.nameLength + 1;
    keys.emplace_back(l.Name());
  }
  return keys;
}

std::vector<std::pair<std::string, std::string>> IniDocument::ReadSectionValues(
    std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  for (std::string& key : ReadSectionKeys(section)) {
    std::string value = ReadString(section, key, {});
    if (!value.empty()) entries.emplace_back(std::move(key), std::move(value));
  }
  return entries;
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < m_sections.size(); ++i) {
    const Section& s = m_sections[i];
    if (!s.hasHeader) continue;
    auto it = m_firstSection.find(LowerAscii(s.header.Name()));
    if (it != m_firstSection.end() && it->second == i) names.emplace_back(s.header.Name());
  }
  return names;
}

void IniDocument::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  CheckSection(section);
  CheckKey(key);
  CheckValue(key, value);
  std::string text;
  text.reserve(key.size() + 1 + value.size());
  text.append(key).append("=").append(value);

  if (Section* s = FindSection(section)) {
    auto it = s->firstKey.find(Fold(key));
    if (it != s->firstKey.end()) {
      Line& old = s->body[it->second];
      old = ParseLine(std::move(text), old.eol);
      return;
    }
    // A new key goes after the section's last non-blank line, so blank lines
    // that separate it from the next section stay where they are. No key
    // line lies at or after that point, so the index needs no shift.
    std::size_t pos = s->body.size();
    while (pos > 0 && s->body[pos - 1].kind == Kind::Blank) --pos;
    Line& before = pos > 0 ? s->body[pos - 1] : s->header;
    if (before.eol == Eol::None) before.eol = Eol::CrLf;
    s->body.insert(s->body.begin() + static_cast<std::ptrdiff_t>(pos), ParseLine(std::move(text), Eol::CrLf));
    s->firstKey.emplace(Fold(key), pos);
    return;
  }

  if (Line* last = LastLine(); last && last->eol == Eol::None) last->eol = Eol::CrLf;
  Section s;
  s.hasHeader = true;
  s.header = ParseLine(Concat({"[", section, "]"}), Eol::CrLf);
  s.body.push_back(ParseLine(std::move(text), Eol::CrLf));
  s.Reindex();
  m_sections.push_back(std::move(s));
  m_firstSection.try_emplace(Fold(section), m_sections.size() - 1);
}

void IniDocument::EraseSection(std::string_view section) {
  auto it = m_firstSection.find(Fold(section));
  if (it == m_firstSection.end()) return;
  m_sections.erase(m_sections.begin() + static_cast<std::ptrdiff_t>(it->second));
  ReindexSections();
}

void IniDocument::EraseKey(std::string_view section, std::string_view key) {
  Section* s = FindSection(section);
  if (!s) return;
  auto it = s->firstKey.find(Fold(key));
  if (it == s->firstKey.end()) return;
  s->body.erase(s->body.begin() + static_cast<std::ptrdiff_t>(it->second));
  s->Reindex();
}

bool IniDocument::CanAppendAtEnd(std::string_view section, std::string_view key) const {
  auto it = m_firstSection.find(Fold(section));
  if (it == m_firstSection.end()) return true;  // a new section goes at the end anyway
  if (it->second != m_sections.size() - 1) return false;
  const Section& s = m_sections[it->second];
  if (s.firstKey.count(Fold(key)) > 0) return false;
  // WriteString would put the key before trailing blank lines.
  return s.body.empty() || s.body.back().kind != Kind::Blank;
}

std::string IniDocument::AppendBytes(std::string_view section, std::string_view key,
                                     std::string_view value) const {
  std::string out;
  if (const Line* last = LastLine(); last && last->eol == Eol::None) out.append(kCrLf);
  if (!HasSection(section)) out.append("[").append(section).append("]").append(kCrLf);
  out.append(key).append("=").append(value).append(kCrLf);
  return out;
}

// ---------------------------------------------------------------------------
// IniFile and the parse cache shared by every IniFile of the process

namespace {

struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  std::int64_t mtimeNs = -1;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size,
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::optional<FileStamp> StampPath(const std::string& path) {
  struct stat st {};
  if (::stat(NativePath(path).c_str(), &st) != 0) return std::nullopt;
  return StampOf(st);
}

enum class LoadState { Absent, Unreadable, Loaded };

struct LoadedFile {
  LoadState state = LoadState::Absent;
  FileStamp stamp;
  std::string bytes;
};

// Reads the file and takes its stamp from the same open file, so the stamp
// describes the bytes that were read.
LoadedFile LoadFile(const std::string& path) {
  LoadedFile out;
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    out.state = errno == ENOENT || errno == ENOTDIR ? LoadState::Absent : LoadState::Unreadable;
    return out;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    out.state = LoadState::Unreadable;
    return out;
  }
  out.stamp = StampOf(st);
  if (st.st_size > 0) out.bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      out.state = LoadState::Unreadable;
      return out;
    }
    if (n == 0) break;
    out.bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  out.state = LoadState::Loaded;
  return out;
}

class ParseCache {
 public:
  static ParseCache& Instance() {
    static ParseCache cache;
    return cache;
  }

  std::shared_ptr<const IniDocument> Find(const std::string& path, const FileStamp& stamp) {
    std::lock_guard lock(m_mutex);
    for (Entry& e : m_entries) {
      if (e.path == path && e.stamp == stamp) {
        e.lastUse = ++m_clock;
        return e.doc;
      }
    }
    return nullptr;
  }

  void Put(const std::string& path, const FileStamp& stamp, std::shared_ptr<const IniDocument> doc) {
    std::lock_guard lock(m_mutex);
    PutLocked(path, stamp, std::move(doc));
  }

  void Forget(const std::string& path) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [&](const Entry& e) { return e.path == path; });
  }

  // Applies edit to the cached document of path after an append. The
  // document is changed in place when only the cache and the caller hold
  // it (nobody else can be reading it then), otherwise edited on a copy.
  template <typename Edit>
  std::shared_ptr<const IniDocument> Update(const std::string& path, std::shared_ptr<const IniDocument>& held,
                                            const FileStamp& newStamp, Edit edit) {
    std::lock_guard lock(m_mutex);
    std::shared_ptr<const IniDocument> result;
    auto it =
        std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.path == path; });
    if (it != m_entries.end() && it->doc == held && SoleHolders(held)) {
      edit(*const_cast<IniDocument*>(held.get()));
      result = held;
    } else {
      auto copy = std::make_shared<IniDocument>(*held);
      edit(*copy);
      result = std::move(copy);
    }
    held.reset();
    PutLocked(path, newStamp, result);
    return result;
  }

 private:
  // Enough for the settings file, the ad store, the map and the log at once
  // while board files stream through; each board file is read once.
  static constexpr std::size_t kCapacity = 16;

  // True when only the cache entry and the caller hold doc. A reader that
  // dropped its reference did so with a release decrement; the acquire
  // fence after seeing the count orders its last reads before our writes.
  // ThreadSanitizer does not model that fence, so its builds always copy.
  static bool SoleHolders(const std::shared_ptr<const IniDocument>& doc) {
#if defined(__SANITIZE_THREAD__)
    (void)doc;
    return false;
#else
    if (doc.use_count() != 2) return false;
    std::atomic_thread_fence(std::memory_order_acquire);
    return true;
#endif
  }

  struct Entry {
    std::string path;
    FileStamp stamp;
    std::shared_ptr<const IniDocument> doc;
    std::uint64_t lastUse = 0;
  };

  void PutLocked(const std::string& path, const FileStamp& stamp, std::shared_ptr<const IniDocument> doc) {
    for (Entry& e : m_entries) {
      if (e.path == path) {
        e.stamp = stamp;
        e.doc = std::move(doc);
        e.lastUse = ++m_clock;
        return;
      }
    }
    if (m_entries.size() >= kCapacity) {
      auto oldest = std::min_element(m_entries.begin(), m_entries.end(),
                                     [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
      m_entries.erase(oldest);
    }
    m_entries.push_back({path, stamp, std::move(doc), ++m_clock});
  }

  std::mutex m_mutex;
  std::vector<Entry> m_entries;
  std::uint64_t m_clock = 0;
};

const std::shared_ptr<const IniDocument>& EmptyDocument() {
  static const std::shared_ptr<const IniDocument> empty = std::make_shared<IniDocument>();
  return empty;
}

// The document of path as it is on disk now. For a file that exists but
// cannot be read, strict callers (the writers) get nullptr, so a rewrite
// never replaces contents it could not see.
std::shared_ptr<const IniDocument> Load(const std::string& path, bool strict) {
  ParseCache& cache = ParseCache::Instance();
  if (auto stamp = StampPath(path)) {
    if (auto doc = cache.Find(path, *stamp)) return doc;
  }
  LoadedFile file = LoadFile(path);
  if (file.state == LoadState::Absent) return EmptyDocument();
  if (file.state == LoadState::Unreadable) return strict ? nullptr : EmptyDocument();
  auto doc = std::make_shared<const IniDocument>(IniDocument::Parse(file.bytes));
  cache.Put(path, file.stamp, doc);
  return doc;
}

}  // namespace

IniFile::IniFile(std::string path) : m_path(std::move(path)) {}

const IniDocument& IniFile::Current() const {
  m_doc = Load(m_path, false);
  return *m_doc;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  return Current().ReadString(section, key, def);
}

std::vector<std::string> IniFile::ReadSectionKeys(std::string_view section) const {
  return Current().ReadSectionKeys(section);
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(std::string_view section) const {
  return Current().ReadSectionValues(section);
}

std::vector<std::string> IniFile::SectionNames() const {
  return Current().SectionNames();
}

bool IniFile::HasSection(std::string_view section) const {
  return Current().HasSection(section);
}

IniDocument IniFile::Snapshot() const {
  return Current();
}

namespace {

// Writes of the process are serialized, so two threads that change the same
// file never lose each other's change between reading and renaming.
std::mutex g_writeMutex;

template <typename Edit>
void Rewrite(const std::string& path, std::shared_ptr<const IniDocument>& held, Edit edit) {
  std::lock_guard lock(g_writeMutex);
  std::shared_ptr<const IniDocument> current = Load(path, true);
  if (!current) throw ProfileWriteError(path);
  auto next = std::make_shared<IniDocument>(*current);
  edit(*next);  // may throw ProfileValueError; nothing has been written then
  if (!WriteFileAtomic(path, next->Serialize())) {
    ParseCache::Instance().Forget(path);
    throw ProfileWriteError(path);
  }
  if (auto stamp = StampPath(path)) {
    ParseCache::Instance().Put(path, *stamp, next);
  } else {
    ParseCache::Instance().Forget(path);
  }
  held = std::move(next);
}

}  // namespace

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Rewrite(m_path, m_doc, [&](IniDocument& d) { d.WriteString(section, key, value); });
}

void IniFile::WriteStrings(std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& entries) {
  Rewrite(m_path, m_doc, [&](IniDocument& d) {
    for (const auto& [key, value] : entries) d.WriteString(section, key, value);
  });
}

void IniFile::EraseSection(std::string_view section) {
  Rewrite(m_path, m_doc, [&](IniDocument& d) { d.EraseSection(section); });
}

void IniFile::EraseKey(std::string_view section, std::string_view key) {
  Rewrite(m_path, m_doc, [&](IniDocument& d) { d.EraseKey(section, key); });
}

void IniFile::Store(const IniDocument& doc) {
  Rewrite(m_path, m_doc, [&](IniDocument& d) { d = doc; });
}

void IniFile::AppendString(std::string_view section, std::string_view key, std::string_view value) {
  CheckSection(section);
  CheckKey(key);
  CheckValue(key, value);
  std::unique_lock lock(g_writeMutex);
  std::shared_ptr<const IniDocument> current = Load(m_path, true);
  if (!current) throw ProfileWriteError(m_path);
  if (!current->CanAppendAtEnd(section, key)) {
    current.reset();
    lock.unlock();
    WriteString(section, key, value);
    return;
  }
  if (!AppendToFile(m_path, current->AppendBytes(section, key, value))) {
    ParseCache::Instance().Forget(m_path);
    throw ProfileWriteError(m_path);
  }
  auto stamp = StampPath(m_path);
  if (!stamp) {
    ParseCache::Instance().Forget(m_path);
    m_doc.reset();
    return;
  }
  // The object's own reference is dropped so the cache may edit the
  // document in place when no one else holds it.
  m_doc.reset();
  m_doc = ParseCache::Instance().Update(m_path, current, *stamp,
                                        [&](IniDocument& d) { d.WriteString(section, key, value); });
}

}  // namespace adw::platform
