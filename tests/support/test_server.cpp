#include "support/test_server.h"

#include <arpa/inet.h>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <netinet/in.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "devtls/devtls.h"

namespace quillax::testing {
namespace {

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string reason_of(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 404:
      return "Not Found";
    default:
      return "Status";
  }
}

// Reads and writes one accepted socket, through TLS or plain.
class Channel {
 public:
  Channel(int fd, SSL_CTX* context) : fd_(fd) {
    if (context == nullptr) return;
    ssl_ = SSL_new(context);
    SSL_set_fd(ssl_, fd);
    if (SSL_accept(ssl_) != 1) {
      ERR_clear_error();
      broken_ = true;
    }
  }
  ~Channel() {
    if (ssl_ != nullptr) {
      if (!broken_) SSL_shutdown(ssl_);
      SSL_free(ssl_);
    }
  }
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  bool broken() const { return broken_; }

  // Appends what arrives to `buffer`; false at the end of the stream or on error.
  bool read_more(std::string& buffer) {
    char chunk[16384];
    const int got = ssl_ != nullptr ? SSL_read(ssl_, chunk, sizeof chunk)
                                    : static_cast<int>(::recv(fd_, chunk, sizeof chunk, 0));
    if (got <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(got));
    return true;
  }

  bool write_all(std::string_view data) {
    while (!data.empty()) {
      const int put = ssl_ != nullptr
                          ? SSL_write(ssl_, data.data(), static_cast<int>(data.size()))
                          : static_cast<int>(::send(fd_, data.data(), data.size(), MSG_NOSIGNAL));
      if (put <= 0) return false;
      data.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
  }

 private:
  int fd_;
  SSL* ssl_ = nullptr;
  bool broken_ = false;
};

std::filesystem::path fresh_folder() {
  static std::atomic<int> counter{0};
  return std::filesystem::temp_directory_path() /
         ("quillax_test_server_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
}

}  // namespace

std::string RecordedRequest::method() const {
  return request_line.substr(0, request_line.find(' '));
}

std::string RecordedRequest::target() const {
  const std::size_t first = request_line.find(' ');
  const std::size_t second = request_line.rfind(' ');
  if (first == std::string::npos || second <= first) return {};
  return request_line.substr(first + 1, second - first - 1);
}

std::vector<std::string> RecordedRequest::header_lines(
    const std::vector<std::string>& leave_out) const {
  std::vector<std::string> lines;
  for (const auto& [name, value] : headers) {
    bool skip = false;
    for (const std::string& left : leave_out) skip = skip || same_name(name, left);
    if (!skip) lines.push_back(name + ": " + value);
  }
  return lines;
}

std::string RecordedRequest::header(std::string_view name) const {
  for (const auto& [n, v] : headers) {
    if (same_name(n, name)) return v;
  }
  return {};
}

TestServer::TestServer(Handler handler, Trust trust)
    : handler_(std::move(handler)), trust_(trust), folder_(fresh_folder()) {
  std::signal(SIGPIPE, SIG_IGN);
  if (!handler_) {
    handler_ = [](const RecordedRequest&) { return CannedResponse{200, {}, "ok"}; };
  }
  if (trust_ != Trust::kPlainHttp) {
    const auto files = devtls::write_tls_files(folder_);
    if (!files) std::abort();
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr ||
        SSL_CTX_use_certificate_chain_file(context, files->server_cert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, files->server_key.c_str(), SSL_FILETYPE_PEM) != 1) {
      std::abort();
    }
    tls_context_ = context;
    if (trust_ == Trust::kTrusted) ::setenv("QUILLAX_CA_FILE", files->ca_cert.c_str(), 1);
  }

  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(listen_fd_, 64) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    std::abort();
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

TestServer::~TestServer() {
  stopping_ = true;
  ::shutdown(listen_fd_, SHUT_RDWR);
  acceptor_.join();
  ::close(listen_fd_);
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    for (int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
    threads.swap(threads_);
  }
  stopped_.notify_all();
  for (std::thread& thread : threads) thread.join();
  if (tls_context_ != nullptr) SSL_CTX_free(static_cast<SSL_CTX*>(tls_context_));
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string TestServer::url(std::string_view path) const {
  return (trust_ == Trust::kPlainHttp ? "http://127.0.0.1:" : "https://127.0.0.1:") +
         std::to_string(port_) + std::string(path);
}

std::vector<RecordedRequest> TestServer::requests() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

void TestServer::clear() {
  std::lock_guard<std::mutex> guard(mutex_);
  requests_.clear();
}

void TestServer::accept_loop() {
  while (!stopping_) {
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (stopping_) return;
      continue;
    }
    const int number = ++connections_;
    std::lock_guard<std::mutex> guard(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    open_fds_.push_back(fd);
    threads_.emplace_back([this, fd, number] { serve(fd, number); });
  }
}

void TestServer::serve(int fd, int number) {
  {
    Channel channel(fd, static_cast<SSL_CTX*>(tls_context_));
    std::string buffer;
    bool keep_open = !channel.broken();
    while (keep_open && !stopping_) {
      std::size_t head_end;
      while ((head_end = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (!channel.read_more(buffer)) {
          keep_open = false;
          break;
        }
      }
      if (!keep_open) break;

      RecordedRequest request;
      request.connection = number;
      std::string_view head(buffer.data(), head_end);
      std::size_t line_end = head.find("\r\n");
      request.request_line = std::string(head.substr(0, line_end));
      std::size_t body_size = 0;
      while (line_end != std::string_view::npos) {
        const std::size_t start = line_end + 2;
        line_end = head.find("\r\n", start);
        const std::string_view line = head.substr(start, line_end - start);
        const std::size_t colon = line.find(':');
        std::string name(line.substr(0, colon));
        std::string value(colon == std::string_view::npos ? "" : line.substr(colon + 1));
        value.erase(0, value.find_first_not_of(' '));
        if (same_name(name, "Content-Length")) body_size = std::strtoul(value.c_str(), nullptr, 10);
        request.headers.emplace_back(std::move(name), std::move(value));
      }
      buffer.erase(0, head_end + 4);
      while (buffer.size() < body_size) {
        if (!channel.read_more(buffer)) {
          keep_open = false;
          break;
        }
      }
      if (!keep_open) break;
      request.body = buffer.substr(0, body_size);
      buffer.erase(0, body_size);
      {
        std::lock_guard<std::mutex> guard(mutex_);
        requests_.push_back(request);
      }

      const CannedResponse response = handler_(request);
      if (response.hang) {
        std::unique_lock<std::mutex> lock(mutex_);
        stopped_.wait(lock, [this] { return stopping_.load(); });
        break;
      }
      std::string out =
          "HTTP/1.1 " + std::to_string(response.status) + " " + reason_of(response.status) + "\r\n";
      for (const auto& [name, value] : response.headers) out += name + ": " + value + "\r\n";
      out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n\r\n";
      if (request.method() != "HEAD") out += response.body;
      if (!channel.write_all(out)) break;
      keep_open = !same_name(request.header("Connection"), "close");
    }
  }
  std::lock_guard<std::mutex> guard(mutex_);
  std::erase(open_fds_, fd);
  ::close(fd);
}

}  // namespace quillax::testing
