// The request-object seam over libcurl.
#include <algorithm>
#include <cstdint>

#include "platform/codepage.h"
#include "platform/posix/curl_transfer.h"
#include "platform/request.h"

namespace quillax::platform {
namespace {

// The request object's own time-outs, used until SetTimeouts is called: no resolve limit,
// 60 s to connect, 30 s without data while sending or receiving.
constexpr long kDefaultConnectMs = 60000;
constexpr long kDefaultStallSeconds = 30;

class CurlRequest final : public Request {
 public:
  CurlRequest() {
    exchange_.connect_timeout_ms = kDefaultConnectMs;
    exchange_.stall_timeout_s = kDefaultStallSeconds;
  }

  bool set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override {
    if (resolve_ms < 0 || connect_ms < 0 || send_ms < 0 || receive_ms < 0) return false;
    // libcurl has one budget for resolving, connecting and the handshake, and one for a stall.
    exchange_.connect_timeout_ms =
        resolve_ms == 0 || connect_ms == 0 ? 0 : long{resolve_ms} + long{connect_ms};
    const long stall_ms = std::max(long{send_ms}, long{receive_ms});
    exchange_.stall_timeout_s = (stall_ms + 999) / 1000;
    return true;
  }

  bool set_proxy(int setting, std::string_view proxy) override {
    if (setting != kProxySettingProxy || proxy.empty() || curl::has_line_break(proxy)) return false;
    exchange_.proxy = "http://" + std::string(proxy);
    return true;
  }

  bool open(std::string_view method, std::string_view url, bool async) override {
    if (async || method.empty() || url.empty()) return false;
    exchange_.method = std::string(method);
    exchange_.url = std::string(url);
    opened_ = true;
    return true;
  }

  bool set_option(int index, std::int64_t value) override {
    // Only redirects may be switched; certificate checks stay on whatever is asked.
    if (index != kOptionEnableRedirects) return false;
    exchange_.follow_redirects = value != 0;
    return true;
  }

  bool set_credentials(std::string_view user, std::string_view password, int flags) override {
    auto credentials = std::make_pair(std::string(user), std::string(password));
    if (flags == kCredentialsForServer) {
      exchange_.server_credentials = std::move(credentials);
    } else if (flags == kCredentialsForProxy) {
      exchange_.proxy_credentials = std::move(credentials);
    } else {
      return false;
    }
    return true;
  }

  bool set_request_header(std::string_view name, std::string_view value) override {
    if (!opened_ || name.empty() || curl::has_line_break(name) || curl::has_line_break(value) ||
        name.find(':') != std::string_view::npos) {
      return false;
    }
    if (curl::same_header_name(name, "Proxy-Authorization")) {
      exchange_.proxy_authorization = Text(value);
      return true;
    }
    auto& headers = exchange_.headers;
    const auto same = std::find_if(headers.begin(), headers.end(), [&](const auto& header) {
      return curl::same_header_name(header.first, name);
    });
    // As the request object does: an empty value takes the header away.
    if (value.empty()) {
      if (same != headers.end()) headers.erase(same);
    } else if (same != headers.end()) {
      same->second = Text(value);
    } else {
      headers.emplace_back(Text(name), Text(value));
    }
    return true;
  }

  bool send_text(std::string_view body) override {
    // A text body goes out as UTF-8, as the callers' "charset=UTF-8" declares.
    const std::string utf8 =
        wide_to_multibyte(multibyte_to_wide(body, local_code_page()), kUtf8CodePage);
    return send_bytes(std::span(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size()));
  }

  bool send_bytes(std::span<const unsigned char> body) override {
    outcome_ = {};
    if (!opened_) return false;
    // An empty body still gives POST and PUT their zero length; other methods send none.
    if (!body.empty() || exchange_.method == "POST" || exchange_.method == "PUT") {
      exchange_.body = Bytes(body.begin(), body.end());
    } else {
      exchange_.body.reset();
    }
    outcome_ = curl::perform(exchange_);
    return outcome_.ok;
  }

  Bytes response_body() override { return outcome_.body; }

  Text all_response_headers() override {
    // Without the status line and the blank line that ends the block.
    const std::string_view block = outcome_.header_block;
    const std::size_t first_end = block.find("\r\n");
    if (first_end == std::string_view::npos) return {};
    std::string_view lines = block.substr(first_end + 2);
    while (lines.ends_with("\r\n\r\n")) lines.remove_suffix(2);
    if (lines == "\r\n") return {};
    return Text(lines);
  }

  int status() override { return outcome_.status; }

 private:
  curl::Exchange exchange_;
  bool opened_ = false;
  curl::Outcome outcome_;
};

}  // namespace

std::unique_ptr<Request> create_request() { return std::make_unique<CurlRequest>(); }

}  // namespace quillax::platform
