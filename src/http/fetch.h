// The two synchronous request facilities: winhttp_fetch (request-object calls, used for the
// marketplace POSTs) and wininet_fetch (WinInet-like calls, used for every GET), with the URL
// helpers and the Base64 encoder they need.
//
// Optional parameters are gathered in an options struct whose fields stand in parameter order;
// designated initialisers name the ones a call gives:
//   winhttp_fetch(url, {.method = 1, .body_text = json, .request_cookies = &jar});
// An in/out or out parameter is a pointer: null means omitted (and is never written), so an
// omitted `request_cookies` is told apart from a given empty one. No call raises; failures come
// back as empty bytes.
#pragma once

#include <span>
#include <string_view>

#include "platform/internet.h"
#include "platform/request.h"
#include "text/text.h"

namespace quillax {

// The parameters of winhttp_fetch after `url`, in order, with their defaults.
struct WinHttpOptions {
  // Index into GET, POST, HEAD, PUT, OPTIONS, DELETE, TRACE, CONNECT; others mean GET.
  int method = 0;
  // Body text (local text, sent as UTF-8) when `body_bytes` is empty.
  std::string_view body_text{};
  // In/out cookie text sent as the Cookie header; rewritten ("Cookie:" removed, then merged).
  Text* request_cookies = nullptr;
  // Out: the cookies the response set; after a merge, the merged cookie text.
  Text* response_cookies = nullptr;
  // Header text: "Name: value" lines joined by CR LF.
  std::string_view request_headers{};
  // Out: the response's header lines as the request object gives them.
  Text* response_headers = nullptr;
  // Out: the HTTP status code, 0 when there was no response.
  int* status_code = nullptr;
  bool no_redirect = false;
  // Body bytes, sent as they are when not empty (then `body_text` is ignored).
  std::span<const unsigned char> body_bytes{};
  // Proxy "host:port"; empty for none.
  std::string_view proxy{};
  // Seconds for each phase; -1 keeps the object's own; any other value below 1 means 15.
  int timeout_seconds = 0;
  std::string_view proxy_user{};
  std::string_view proxy_password{};
  // 0: the credentials are for the server; 1: for the proxy (and Proxy-Authorization is set).
  int credentials_target = 1;
  // A request object to use instead of a new one; the caller keeps ownership.
  platform::Request* request_object = nullptr;
  bool merge_cookies = true;
  bool add_default_headers = true;
  bool normalize_headers = true;
};

// One exchange through a request object; returns the response body, empty bytes when the
// object cannot be created (then no out parameter and not `request_cookies` is written) or the
// exchange fails. Blocks the calling thread; any thread may call it.
Bytes winhttp_fetch(std::string_view url, const WinHttpOptions& options = {});

// As above, with the request objects made by `create` instead of the platform's.
Bytes winhttp_fetch(const platform::RequestFactory& create, std::string_view url,
                    const WinHttpOptions& options = {});

// The parameters of wininet_fetch after `url`, in order, with their defaults.
struct WinInetOptions {
  // Index into GET, POST, HEAD, PUT, OPTIONS, DELETE, TRACE, CONNECT; others mean GET.
  int method = 0;
  // Body text (its local bytes) when `body_bytes` is empty and the method is not GET.
  std::string_view body_text{};
  // In/out cookie text sent as a "Cookie: " line when not empty; given at all, the platform's
  // own cookies are switched off. Rewritten by the merge.
  Text* request_cookies = nullptr;
  // Out: the cookies the response set; after a merge, the merged cookie text.
  Text* response_cookies = nullptr;
  // Header text: "Name: value" lines joined by CR LF.
  std::string_view request_headers{};
  // Out: the raw header block of the final response, status line first.
  Text* response_headers = nullptr;
  bool no_redirect = false;
  // In/out body bytes; when empty and the method is not GET, it receives the bytes of
  // `body_text`.
  Bytes* body_bytes = nullptr;
  // Proxy "host:port"; empty for a direct connection.
  std::string_view proxy{};
  bool merge_cookies = true;
  bool add_default_headers = true;
  bool normalize_headers = true;
  // True: `proxy` names a SOCKS proxy.
  bool socks_proxy = false;
};

// One exchange through the WinInet-like calls; returns the response body, empty bytes when a
// handle cannot be opened (then no out parameter and not `request_cookies` is written).
// Blocks the calling thread; any thread may call it.
Bytes wininet_fetch(std::string_view url, const WinInetOptions& options = {});

// As above, over the given calls instead of the platform's.
Bytes wininet_fetch(platform::Internet& internet, std::string_view url,
                    const WinInetOptions& options = {});

// The user agent both facilities send unless the caller names another.
inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The host of a URL in lower case, without port ("http://" assumed without a scheme).
Text url_host(std::string_view url);

// The explicit port of a URL, else 443 for "https" URLs (any case), else 80.
int url_port(std::string_view url);

// The rest of the URL from the first "/" after the host, query included; "/" without one.
Text url_path(std::string_view url);

// Standard Base64 with "=" padding and no line breaks; empty for empty input.
Text base64_encode(std::span<const unsigned char> bytes);

}  // namespace quillax
