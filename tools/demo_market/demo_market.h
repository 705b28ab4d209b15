// A demo marketplace: plays the marketplace host over HTTPS and the announcement host over
// plain HTTP on 127.0.0.1, with a seller account, suppliers, catalogues, order pages, the
// release endpoint and the shop's identity. Used by scripts/demo and by the end-to-end tests.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillax::demo {

// The demo seller's account, password and shop.
inline constexpr char kDemoAccount[] = "demo";
inline constexpr char kDemoPassword[] = "demo123";
inline constexpr char kSessionCookie[] = "qlx_session";
inline constexpr char kTrackCookie[] = "qlx_track";

// One request as it arrived. Header names and values are those the client sent; the list is
// in the order the server library hands it over (sorted by name), not on-the-wire order.
struct LoggedRequest {
  std::string scheme;  // "https" or "http"
  std::string method;
  std::string target;  // path and query exactly as sent
  std::string path;    // target up to "?"
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  int remote_port = 0;  // tells connections apart

  // The value of the first header named `name` (compared without regard to case); empty when
  // there is none. `has_header` tells an absent header from an empty one.
  std::string header(const std::string& name) const;
  bool has_header(const std::string& name) const;
};

// A fixed answer that replaces the marketplace's own for one path until cleared.
struct ScriptedAnswer {
  std::string body;
  std::vector<std::string> set_cookies;  // each the value of one Set-Cookie line
  int status = 200;
  std::string content_type = "application/json;charset=utf-8";
};

struct DemoOptions {
  // PEM files of the server certificate and key. When either is empty, a throw-away CA and a
  // certificate for 127.0.0.1 are made at start and written to `tls_dir`.
  std::string cert_file;
  std::string key_file;
  // Folder for the generated PEMs; empty: a fresh folder under the system's temp folder.
  std::string tls_dir;
  // When set, every request is appended to this file as it arrives.
  std::string log_file;
  // Ports to listen on; 0 picks a free one.
  int https_port = 0;
  int http_port = 0;
};

// The server. Not copyable; stop() (or the destructor) ends both listeners. Every method
// may be called from any thread; the handlers run on the server's own threads.
class DemoMarket {
 public:
  explicit DemoMarket(DemoOptions options = {});
  ~DemoMarket();
  DemoMarket(const DemoMarket&) = delete;
  DemoMarket& operator=(const DemoMarket&) = delete;

  // Binds both listeners on 127.0.0.1 and starts serving. Returns false (with a reason in
  // error()) when the certificate cannot be made or read or a port cannot be bound. When it
  // returns true both sockets already accept connections.
  bool start();
  void stop();
  const std::string& error() const;

  int https_port() const;
  int http_port() const;
  // "127.0.0.1:<port>", the values for QUILLAX_MARKET_HOST / QUILLAX_NOTICE_HOST.
  std::string market_host() const;
  std::string notice_host() const;
  // The CA certificate that signed the server certificate (for QUILLAX_CA_FILE); empty when
  // the certificate came from the options.
  std::string ca_file() const;

  // Every request received since start() or reset(), in arrival order.
  std::vector<LoggedRequest> requests() const;
  // The requests whose path is `path`.
  std::vector<LoggedRequest> requests_to(const std::string& path) const;
  // The bodies the release endpoint accepted, in order.
  std::vector<std::string> release_bodies() const;
  // How many distinct client connections the HTTPS listener has seen.
  int connection_count() const;

  // Serve `answer` for every request to `path` (the target before "?") until reset().
  void set_answer(const std::string& path, ScriptedAnswer answer);
  // Back to the initial catalogue, no sessions, no scripted answers, an empty request log.
  void reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quillax::demo
