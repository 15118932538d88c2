#include "platform/reply_reader.h"

#include <algorithm>

namespace adw::platform {

namespace {

constexpr std::size_t kReceiveChunk = 16384;

char LowerAsciiChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

ReadResult FromSocket(const SocketResult& r) {
  switch (r.status) {
    case SocketStatus::Ok:
      return {};
    case SocketStatus::Cancelled:
    case SocketStatus::TimedOut:
      return {ReadStatus::Cancelled, r.error};
    case SocketStatus::Closed:
      return {ReadStatus::Closed, r.error};
    case SocketStatus::Error:
      break;
  }
  return {ReadStatus::Error, r.error};
}

}  // namespace

ReplyReader::ReplyReader(Connection& connection, const CancelWatch& cancel, std::size_t headerLimit)
    : m_connection(connection), m_cancel(cancel), m_headerLimit(headerLimit) {}

ReadResult ReplyReader::Fill() {
  if (m_pos > 0) {
    m_buffer.erase(0, m_pos);
    m_pos = 0;
  }
  const std::size_t old = m_buffer.size();
  m_buffer.resize(old + kReceiveChunk);
  SocketResult r = m_connection.Receive(m_buffer.data() + old, kReceiveChunk, m_cancel);
  m_buffer.resize(old + (r.status == SocketStatus::Ok ? r.bytes : 0));
  return FromSocket(r);
}

ReadResult ReplyReader::ReadLine(std::string& line, std::size_t maxLine) {
  line.clear();
  std::size_t searched = m_pos;
  for (;;) {
    const std::size_t lf = m_buffer.find('\n', searched);
    const std::size_t available = (lf == std::string::npos ? m_buffer.size() : lf + 1) - m_pos;
    if (m_headerBytes + available > m_headerLimit) return {ReadStatus::HeaderTooLarge, 0};
    if (available > maxLine) return {ReadStatus::LineTooLong, 0};
    if (lf != std::string::npos) {
      line.assign(m_buffer, m_pos, available);
      m_pos = lf + 1;
      m_headerBytes += available;
      return {};
    }
    searched = m_buffer.size() - m_pos;
    ReadResult r = Fill();
    searched += m_pos;  // Fill moved the unread bytes to the front
    if (r.status != ReadStatus::Ok) {
      line.assign(m_buffer, m_pos, std::string::npos);
      m_headerBytes += line.size();
      m_pos = m_buffer.size();
      return r;
    }
  }
}

bool ReplyReader::PeekStartsWithNoCase(std::string_view prefix, ReadResult& result) {
  result = {};
  for (;;) {
    std::string_view rest(m_buffer.data() + m_pos, m_buffer.size() - m_pos);
    const std::size_t n = std::min(rest.size(), prefix.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (LowerAsciiChar(rest[i]) != LowerAsciiChar(prefix[i])) return false;
      if (rest[i] == '\n') return false;
    }
    if (n == prefix.size()) return true;
    if (m_headerBytes + rest.size() > m_headerLimit) return false;
    result = Fill();
    if (result.status != ReadStatus::Ok) return false;
  }
}

ReadResult ReplyReader::ReadBody(const Sink& sink) {
  if (m_pos < m_buffer.size()) {
    const bool more = sink(m_buffer.data() + m_pos, m_buffer.size() - m_pos);
    m_pos = m_buffer.size();
    if (!more) return {};
  }
  std::string().swap(m_buffer);
  m_pos = 0;
  char chunk[kReceiveChunk];
  for (;;) {
    SocketResult r = m_connection.Receive(chunk, sizeof chunk, m_cancel);
    if (r.status == SocketStatus::Closed) return {ReadStatus::Ok, r.error};
    if (r.status != SocketStatus::Ok) return FromSocket(r);
    if (!sink(chunk, r.bytes)) return {};
  }
}

}  // namespace adw::platform
