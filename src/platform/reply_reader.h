#pragma once
// Reading an HTTP reply from a Connection with the limits every peer is
// held to: the header part (status line, header lines, the empty line)
// may hold at most kMaxReplyHeaderBytes in all, a single line at most what
// the caller allows, and the body goes to a sink chunk by chunk, so no
// reply is ever held whole twice. Memory stays bounded by the header limit
// plus one receive chunk whatever the peer sends.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/connection.h"

namespace adw::platform {

enum class ReadStatus {
  Ok,
  Closed,          // the peer closed (or reset) before the goal
  Cancelled,       // the CancelWatch fired
  Error,           // a receive failed; see error
  HeaderTooLarge,  // the header part grew past its limit
  LineTooLong,     // a line grew past the caller's line limit
};

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  int error = 0;
};

class ReplyReader {
 public:
  ReplyReader(Connection& connection, const CancelWatch& cancel,
              std::size_t headerLimit = kMaxReplyHeaderBytes);

  // The next line of the header part, LF included. Every byte of it counts
  // against the header limit; maxLine bounds the line alone (LF included).
  // On Closed, line holds the unterminated rest.
  ReadResult ReadLine(std::string& line, std::size_t maxLine = static_cast<std::size_t>(-1));

  // True when the unread bytes begin with prefix (ASCII letters in any
  // case); receives until it can tell or a line end comes first.
  bool PeekStartsWithNoCase(std::string_view prefix, ReadResult& result);

  // Hands the unread bytes, then every received chunk, to sink until the
  // peer closes (Ok) or the watch fires (Cancelled). sink returns false to
  // stop at once (Ok).
  using Sink = std::function<bool(const char* data, std::size_t length)>;
  ReadResult ReadBody(const Sink& sink);

  std::size_t HeaderBytes() const { return m_headerBytes; }

 private:
  ReadResult Fill();

  Connection& m_connection;
  const CancelWatch& m_cancel;
  std::size_t m_headerLimit;
  std::size_t m_headerBytes = 0;
  std::string m_buffer;
  std::size_t m_pos = 0;
};

}  // namespace adw::platform
