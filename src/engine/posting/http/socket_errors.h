#pragma once
// The posting client reports socket failures the way boards' users have
// always seen them: Windows Sockets error numbers and their standard names.
// The system's errno and resolver codes are translated into that table.
#include <string>

namespace adw::engine {

// Windows Sockets number for an errno value; the errno itself when the
// table has no counterpart.
int WsaCodeFromErrno(int err);
// Windows Sockets number for a getaddrinfo (EAI_*) result.
int WsaCodeFromLookupError(int eaiCode);

// "10061:Connection refused" for a number of the table,
// "Unknown Error No. 42" for any other.
std::string SocketErrorText(int wsaCode);

}  // namespace adw::engine
