// The internet seam: WinInet-like calls over handles (open, connect, open request, set option,
// send, read, raw headers, close). `wininet_fetch` is its only caller; the POSIX backend runs it
// over libcurl, the tests over a recording fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "text/text.h"

namespace quillax::platform {

// A handle given by open / connect / open_request; kNoHandle marks a failed open.
using InternetHandle = std::uint64_t;
inline constexpr InternetHandle kNoHandle = 0;

// Access types of open.
inline constexpr int kOpenTypeDirect = 1;
inline constexpr int kOpenTypeProxy = 3;
// Service of connect.
inline constexpr int kServiceHttp = 3;
// Request flags of open_request.
inline constexpr std::uint32_t kFlagReload = 0x80000000u;
inline constexpr std::uint32_t kFlagNeedFile = 0x10u;
inline constexpr std::uint32_t kFlagNoCookies = 0x80000u;
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x200000u;
inline constexpr std::uint32_t kFlagSecure = 0x800000u;
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x4000u;
// Option of set_option, and the security flags that it may carry. Only the redirect and
// revocation flags are ever set: certificate errors are never ignored.
inline constexpr int kOptionSecurityFlags = 31;
inline constexpr std::uint32_t kSecurityIgnoreRevocation = 0x80u;
inline constexpr std::uint32_t kSecurityIgnoreRedirectToHttps = 0x4000u;
inline constexpr std::uint32_t kSecurityIgnoreRedirectToHttp = 0x8000u;
// The size of one read.
inline constexpr std::size_t kReadChunk = 1024;

// WinInet-like calls. A handle belongs to the thread that opened it; different threads may
// use different handles at the same time. No call raises; a failing call returns kNoHandle,
// false or 0 and changes nothing. Closing a session or connection does not close its children.
class Internet {
 public:
  virtual ~Internet() = default;

  // Opens a session with a user agent; `proxy` and `bypass` count only with kOpenTypeProxy
  // ("SOCKS=host:port", "http=host:port" or "host:port").
  virtual InternetHandle open(std::string_view agent, int access_type, std::string_view proxy,
                              std::string_view bypass) = 0;
  // A connection to host:port within a session; `service` is kServiceHttp.
  virtual InternetHandle connect(InternetHandle session, std::string_view host, int port,
                                 int service) = 0;
  // A request on a connection: method, path with query, "HTTP/1.1", the request flags.
  virtual InternetHandle open_request(InternetHandle connection, std::string_view method,
                                      std::string_view path, std::string_view version,
                                      std::uint32_t flags) = 0;
  // Sets a 4-byte option of a request (kOptionSecurityFlags).
  virtual bool set_option(InternetHandle request, int option, std::uint32_t value) = 0;
  // Sends the request with a header text (lines joined by CR LF) and a body, or none when
  // `body` is null, and receives the response. False when the exchange failed.
  virtual bool send(InternetHandle request, std::string_view header_text, const Bytes* body) = 0;
  // Copies up to `buffer.size()` further body bytes; 0 at the end or on failure.
  virtual std::size_t read(InternetHandle request, std::span<unsigned char> buffer) = 0;
  // The raw header block of the final response, status line first, lines ending in CR LF.
  // False when there is no response.
  virtual bool query_raw_headers(InternetHandle request, Text& headers) = 0;
  // Closes any handle.
  virtual bool close(InternetHandle handle) = 0;
};

// The backend's calls (libcurl on POSIX); process-wide, any thread.
Internet& system_internet();

}  // namespace quillax::platform
