// The internet seam over libcurl: handles name sessions, connections and requests kept in a
// locked table; the exchange itself runs in send, unlocked, and read hands out its body.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>
#include <variant>

#include "platform/internet.h"
#include "platform/posix/curl_transfer.h"
#include "text/text.h"

namespace quillax::platform {
namespace {

// The calls set no time-outs, so these keep an exchange from hanging forever: 60 s to resolve,
// connect and shake hands, and 60 s without any data.
constexpr long kConnectTimeoutMs = 60000;
constexpr long kStallTimeoutSeconds = 60;

struct Session {
  std::string agent;
  std::string proxy;  // a curl proxy URL, empty for direct
};

struct Connection {
  Session session;
  std::string host;
  int port = 0;
};

struct RequestState {
  Connection connection;
  std::string method;
  std::string path;
  std::uint32_t flags = 0;
  curl::Outcome outcome;
  std::size_t read_offset = 0;
};

using Entry = std::variant<Session, Connection, RequestState>;

// "SOCKS=host:port", "http=host:port" or "host:port" as a curl proxy URL; empty when unusable.
std::string proxy_url(std::string_view proxy) {
  if (proxy.empty() || curl::has_line_break(proxy)) return {};
  if (proxy.starts_with("SOCKS=")) return "socks4a://" + std::string(proxy.substr(6));
  if (proxy.starts_with("http=")) return "http://" + std::string(proxy.substr(5));
  return "http://" + std::string(proxy);
}

// The lines of a header text as (name, value) pairs; lines without a colon are left out.
std::vector<std::pair<Text, Text>> header_pairs(std::string_view header_text) {
  std::vector<std::pair<Text, Text>> pairs;
  for (const Text& line : text::split(header_text, "\r\n")) {
    const std::size_t colon = line.find(':');
    if (colon == Text::npos) continue;
    Text name = text::trim(std::string_view(line).substr(0, colon));
    Text value = text::trim(std::string_view(line).substr(colon + 1));
    pairs.emplace_back(std::move(name), std::move(value));
  }
  return pairs;
}

class CurlInternet final : public Internet {
 public:
  InternetHandle open(std::string_view agent, int access_type, std::string_view proxy,
                      std::string_view) override {
    Session session;
    // An agent is one header value: whatever follows a line break is not sent.
    session.agent = std::string(agent.substr(0, agent.find_first_of("\r\n")));
    if (access_type == kOpenTypeProxy) {
      session.proxy = proxy_url(proxy);
      if (session.proxy.empty()) return kNoHandle;
    } else if (access_type != kOpenTypeDirect) {
      return kNoHandle;
    }
    return add(std::move(session));
  }

  InternetHandle connect(InternetHandle session, std::string_view host, int port,
                         int service) override {
    if (service != kServiceHttp || host.empty() || port < 0 || port > 65535 ||
        host.find_first_of("/\\?#@ \r\n") != std::string_view::npos) {
      return kNoHandle;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    const Session* parent = find<Session>(session);
    if (parent == nullptr) return kNoHandle;
    return add_locked(Connection{*parent, std::string(host), port});
  }

  InternetHandle open_request(InternetHandle connection, std::string_view method,
                              std::string_view path, std::string_view version,
                              std::uint32_t flags) override {
    if (method.empty() || version != "HTTP/1.1" || !path.starts_with("/") ||
        curl::has_line_break(path) || path.find(' ') != std::string_view::npos) {
      return kNoHandle;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    const Connection* parent = find<Connection>(connection);
    if (parent == nullptr) return kNoHandle;
    return add_locked(RequestState{*parent, std::string(method), std::string(path), flags, {}, 0});
  }

  bool set_option(InternetHandle request, int option, std::uint32_t value) override {
    // Only redirect and revocation flags are accepted; certificate checks always stay on.
    constexpr std::uint32_t kAccepted =
        kSecurityIgnoreRevocation | kSecurityIgnoreRedirectToHttps | kSecurityIgnoreRedirectToHttp;
    std::lock_guard<std::mutex> guard(mutex_);
    return option == kOptionSecurityFlags && (value & ~kAccepted) == 0 &&
           find<RequestState>(request) != nullptr;
  }

  bool send(InternetHandle request, std::string_view header_text, const Bytes* body) override {
    curl::Exchange exchange;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      const RequestState* state = find<RequestState>(request);
      if (state == nullptr) return false;
      const Connection& connection = state->connection;
      const bool secure = (state->flags & kFlagSecure) != 0;
      exchange.method = state->method;
      exchange.url = secure ? "https://" : "http://";
      exchange.url.append(connection.host);
      if (connection.port != 0) exchange.url.append(":").append(std::to_string(connection.port));
      exchange.url += state->path;
      exchange.follow_redirects = (state->flags & kFlagNoAutoRedirect) == 0;
      exchange.user_agent = connection.session.agent;
      exchange.proxy = connection.session.proxy;
    }
    exchange.headers = header_pairs(header_text);
    if (body != nullptr) exchange.body = *body;
    exchange.connect_timeout_ms = kConnectTimeoutMs;
    exchange.stall_timeout_s = kStallTimeoutSeconds;

    curl::Outcome outcome = curl::perform(exchange);
    const bool ok = outcome.ok;
    std::lock_guard<std::mutex> guard(mutex_);
    if (RequestState* state = find<RequestState>(request)) {
      state->outcome = std::move(outcome);
      state->read_offset = 0;
    }
    return ok;
  }

  std::size_t read(InternetHandle request, std::span<unsigned char> buffer) override {
    std::lock_guard<std::mutex> guard(mutex_);
    RequestState* state = find<RequestState>(request);
    if (state == nullptr) return 0;
    const Bytes& body = state->outcome.body;
    const std::size_t count = std::min(buffer.size(), body.size() - state->read_offset);
    std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(state->read_offset), count,
                buffer.begin());
    state->read_offset += count;
    return count;
  }

  bool query_raw_headers(InternetHandle request, Text& headers) override {
    std::lock_guard<std::mutex> guard(mutex_);
    const RequestState* state = find<RequestState>(request);
    if (state == nullptr || !state->outcome.ok) return false;
    headers = state->outcome.header_block;
    return true;
  }

  bool close(InternetHandle handle) override {
    std::lock_guard<std::mutex> guard(mutex_);
    return entries_.erase(handle) == 1;
  }

 private:
  template <typename T>
  T* find(InternetHandle handle) {
    const auto it = entries_.find(handle);
    return it == entries_.end() ? nullptr : std::get_if<T>(&it->second);
  }

  InternetHandle add(Entry entry) {
    std::lock_guard<std::mutex> guard(mutex_);
    return add_locked(std::move(entry));
  }

  InternetHandle add_locked(Entry entry) {
    const InternetHandle handle = ++last_handle_;
    entries_.emplace(handle, std::move(entry));
    return handle;
  }

  std::mutex mutex_;
  InternetHandle last_handle_ = kNoHandle;
  std::unordered_map<InternetHandle, Entry> entries_;
};

}  // namespace

Internet& system_internet() {
  static CurlInternet internet;
  return internet;
}

}  // namespace quillax::platform
