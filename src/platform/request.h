// The request-object seam: one synchronous HTTP exchange driven call by call, in the manner of
// a WinHttp request object. `winhttp_fetch` is its only caller; the POSIX backend runs it over
// libcurl, the tests over a recording fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "text/text.h"

namespace quillax::platform {

// SetProxy setting 2: use the named proxy server.
inline constexpr int kProxySettingProxy = 2;
// Option index 6: follow redirects (false switches them off).
inline constexpr int kOptionEnableRedirects = 6;
// SetCredentials flags: credentials for the server or for the proxy.
inline constexpr int kCredentialsForServer = 0;
inline constexpr int kCredentialsForProxy = 1;

// One request object. Calls are made in the order SetTimeouts / SetProxy, Open, Option,
// SetCredentials, SetRequestHeader ..., Send, then the response getters. Every call returns
// false when it fails or is refused; a failed call changes nothing and the caller goes on.
// The getters give empty / 0 until a Send has succeeded. Not thread-safe: one object belongs to
// one exchange on one thread. Certificate errors are never ignored, whatever is asked.
class Request {
 public:
  virtual ~Request() = default;

  // Resolve, connect, send and receive time-outs in milliseconds; 0 means no limit.
  virtual bool set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) = 0;
  // `setting` 2 with a proxy "host:port" routes the request through it, bypassing nothing.
  virtual bool set_proxy(int setting, std::string_view proxy) = 0;
  // Method name and full URL; `async` must be false (the object is synchronous only).
  virtual bool open(std::string_view method, std::string_view url, bool async) = 0;
  // Sets a numbered option; only kOptionEnableRedirects is known (value 0 / nonzero).
  virtual bool set_option(int index, std::int64_t value) = 0;
  // User name and password for the server (flags 0) or the proxy (flags 1).
  virtual bool set_credentials(std::string_view user, std::string_view password, int flags) = 0;
  // Sets one request header; a name already set (compared without regard to case) has its
  // value replaced in place, and an empty value removes it. Names or values holding CR or LF
  // are refused.
  virtual bool set_request_header(std::string_view name, std::string_view value) = 0;
  // Sends the request with a local-text body (it goes out as UTF-8) or with raw bytes, and
  // reads the whole response. False when the exchange failed (no response, broken connection,
  // failed certificate check, time-out, body over the size cap).
  virtual bool send_text(std::string_view body) = 0;
  virtual bool send_bytes(std::span<const unsigned char> body) = 0;

  // The body bytes exactly as they came.
  virtual Bytes response_body() = 0;
  // The header lines of the final response (no status line), each ending with CR LF.
  virtual Text all_response_headers() = 0;
  // The HTTP status code of the final response; 0 when there is none.
  virtual int status() = 0;
};

// Makes a new request object, or null when none can be created.
using RequestFactory = std::function<std::unique_ptr<Request>()>;

// The backend's request object (libcurl on POSIX); null when it cannot be created. Any thread.
std::unique_ptr<Request> create_request();

}  // namespace quillax::platform
