// An in-process HTTP(S) server on 127.0.0.1 for tests and benchmarks. It records every request
// exactly as it arrives (request line, header lines in wire order, body) and counts the
// connections it accepts. Each server makes its own throw-away CA; a trusted server points
// QUILLAX_CA_FILE at it, an untrusted one does not. Ready when the constructor returns.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quillax::testing {

// One request as it came over the wire.
struct RecordedRequest {
  std::string request_line;                                  // "GET /x HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // in wire order
  std::string body;
  int connection = 0;  // 1-based number of the connection it came on

  std::string method() const;
  std::string target() const;  // path and query
  // The header lines "Name: value" in order, without those named in `leave_out` (any case).
  std::vector<std::string> header_lines(const std::vector<std::string>& leave_out = {}) const;
  // The first value of a header (name compared without regard to case), empty without one.
  std::string header(std::string_view name) const;
};

// What the server answers. Content-Length is added from the body.
struct CannedResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers{};
  std::string body{};
  // True: nothing is answered until the server stops (a server that hangs).
  bool hang = false;
};

using Handler = std::function<CannedResponse(const RecordedRequest&)>;

enum class Trust { kTrusted, kUntrusted, kPlainHttp };

class TestServer {
 public:
  // Serves `handler` (by default 200 with body "ok") on 127.0.0.1 at a free port.
  explicit TestServer(Handler handler = {}, Trust trust = Trust::kTrusted);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int port() const { return port_; }
  // "https://127.0.0.1:PORT" (or http:// for a plain server), with `path` appended.
  std::string url(std::string_view path = "/") const;
  // The requests received so far, in order of arrival.
  std::vector<RecordedRequest> requests() const;
  // Connections accepted so far.
  int connections() const { return connections_.load(); }
  // Clears the recorded requests.
  void clear();

 private:
  void accept_loop();
  void serve(int fd, int number);

  Handler handler_;
  Trust trust_;
  std::filesystem::path folder_;
  void* tls_context_ = nullptr;  // SSL_CTX*
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<RecordedRequest> requests_;
  std::vector<int> open_fds_;
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

}  // namespace quillax::testing
