// One HTTP/1.1 exchange over libcurl, shared by the request-object and internet backends.
// Internal to platform/posix (and the benchmark, which switches connection reuse off to
// measure it): nothing above platform/ includes this header.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/text.h"

namespace quillax::platform::curl {

// Size cap of a response body: past it the exchange fails like a broken connection.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{64} << 20;
// No single response takes longer than this, however slowly a server trickles its bytes.
inline constexpr long kMaxResponseSeconds = 600;
// Redirects followed at most before the exchange fails.
inline constexpr int kMaxRedirects = 10;

// What goes out. Header lines leave in this order, after Host, the user agent and the body
// length; names and values holding CR or LF are dropped, and so is a caller's Content-Length.
struct Exchange {
  std::string method = "GET";
  std::string url;  // http:// or https:// only
  std::vector<std::pair<Text, Text>> headers;
  std::optional<Bytes> body;  // none: no body and no length line
  std::string user_agent;     // empty: no User-Agent line of the stack's own
  bool follow_redirects = true;
  long connect_timeout_ms = 60000;  // resolve, connect and TLS handshake; 0: no limit
  long stall_timeout_s = 60;        // fails after this long without any data; 0: no limit
  std::string proxy;                // a curl proxy URL; empty: direct, whatever the environment
  std::optional<std::pair<std::string, std::string>> server_credentials;
  std::optional<std::pair<std::string, std::string>> proxy_credentials;
  Text proxy_authorization;  // a Proxy-Authorization value, sent to the proxy only
};

// What came back from the final response (never from a redirect on the way).
struct Outcome {
  bool ok = false;  // false: no complete response (nothing below is filled)
  int status = 0;
  Text header_block;  // status line and header lines, each ending in CR LF, then CR LF
  Bytes body;
};

// Performs the exchange on the calling thread, following redirects unless switched off.
// Certificates are always verified: system store plus the PEM file named by QUILLAX_CA_FILE.
// Connections and TLS sessions are kept in a process-wide cache shared by all threads.
Outcome perform(const Exchange& exchange);

// True when two header names are equal without regard to ASCII case.
bool same_header_name(std::string_view a, std::string_view b);

// True when a text holds a CR or an LF, which would end a header line early.
bool has_line_break(std::string_view text);

// Switches the shared connection cache on (the default) or off (a fresh connection for every
// exchange). Only the benchmark turns it off, to measure what reuse saves.
void set_connection_reuse(bool reuse);

}  // namespace quillax::platform::curl
