#include "http/fetch.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "http/header_text.h"

namespace quillax {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::array<std::string_view, 8> kMethods = {"GET",     "POST",   "HEAD",  "PUT",
                                                      "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int kPost = 1;
constexpr int kDefaultTimeoutMs = 15000;

// One default request header: appended when the marker is nowhere in the header text.
struct DefaultHeader {
  std::string_view marker;
  std::string_view line;  // appended after CR LF; the Referer row is followed by the URL
  bool post_only = false;
};

constexpr DefaultHeader kAccept{"Accept:", "Accept: */*"};
constexpr DefaultHeader kReferer{"Referer:", "Referer: "};
constexpr DefaultHeader kAcceptLanguage{"Accept-Language:", "Accept-Language: zh-cn"};
constexpr DefaultHeader kFormContentType{
    "Content-Type:", "Content-Type: application/x-www-form-urlencoded", true};

int method_index(int method) { return method < 0 || method > 7 ? 0 : method; }

// Appends each row whose marker the text (as extended by the rows before) lacks, in order.
void add_default_headers(Text& headers, std::span<const DefaultHeader> rows, std::string_view url,
                         int method) {
  for (const DefaultHeader& row : rows) {
    if (row.post_only && method != kPost) continue;
    if (text::find_ignore_case(headers, row.marker) != text::npos) continue;
    headers.append(kCrLf).append(row.line);
    if (row.marker == kReferer.marker) headers.append(url);
  }
}

// The "name=value" pairs of the response's "Set-Cookie" lines (name matched exactly), joined
// by "; ".
Text collect_response_cookies(std::string_view response_headers) {
  Text cookies;
  for (const Text& line : text::split(response_headers, kCrLf)) {
    if (text_before(line, ": ") != "Set-Cookie") continue;
    if (text::find(line, ";") == text::npos) {
      cookies += text::trim(text::replace_texts(line, {{"Set-Cookie:", ""}}));
    } else {
      cookies += text::trim(text_between(line, "Set-Cookie:", ";"));
    }
    cookies += "; ";
  }
  if (cookies.size() >= 2) cookies.resize(cookies.size() - 2);
  return cookies;
}

// The collected response cookies, merged into the caller's cookie variable when asked.
Text finish_cookies(std::string_view response_headers, Text* request_cookies, bool merge) {
  Text cookies = collect_response_cookies(response_headers);
  if (merge && request_cookies != nullptr) {
    return merge_cookie_text(*request_cookies, cookies);
  }
  return cookies;
}

// ASCII letters lowered; the trail bytes of double-byte characters are left alone.
Text ascii_lower(std::string_view text) {
  Text out(text);
  for (std::size_t pos = 0; pos < out.size(); pos += text::char_length(out, pos)) {
    if (out[pos] >= 'A' && out[pos] <= 'Z') out[pos] = static_cast<char>(out[pos] + 32);
  }
  return out;
}

bool starts_with_ignore_case(std::string_view text, std::string_view head) {
  return text.size() >= head.size() && ascii_lower(text.substr(0, head.size())) == head;
}

// The host part of a URL in lower case, port kept.
Text url_host_and_port(std::string_view url) {
  Text lowered = ascii_lower(url);
  if (lowered.empty() || lowered.back() != '/') lowered.push_back('/');
  std::string_view marker = "https://";
  if (lowered.compare(0, marker.size(), marker) != 0) {
    marker = "http://";
    if (text::find(lowered, marker) == text::npos) lowered.insert(0, marker);
  }
  return text_between(lowered, marker, "/");
}

// The leading decimal digits of a text as an int (0 without any), capped at INT_MAX.
int leading_integer(std::string_view text) {
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<std::int64_t>(value * 10 + (c - '0'), INT_MAX);
  }
  return static_cast<int>(value);
}

// The proxy text handed to the internet open call.
Text internet_proxy_text(const WinInetOptions& options, bool secure) {
  if (options.socks_proxy) return "SOCKS=" + Text(options.proxy);
  if (secure) return Text(options.proxy);
  return "http=" + Text(options.proxy);
}

// The agent named by a "User-Agent:" line of the header text, or the default agent.
Text internet_user_agent(std::string_view headers) {
  if (text::find_ignore_case(headers, "User-Agent:") == text::npos) {
    return Text(kDefaultUserAgent);
  }
  Text agent = text::trim(text_between(Text(headers) + Text(kCrLf), "User-Agent:", kCrLf));
  if (agent.empty()) agent = header_value_of(headers);
  return agent;
}

}  // namespace

Bytes winhttp_fetch(std::string_view url, const WinHttpOptions& options) {
  return winhttp_fetch(platform::create_request, url, options);
}

Bytes winhttp_fetch(const platform::RequestFactory& create, std::string_view url,
                    const WinHttpOptions& options) {
  const int method = method_index(options.method);

  std::unique_ptr<platform::Request> owned;
  platform::Request* request = options.request_object;
  if (request == nullptr) {
    if (create) owned = create();
    request = owned.get();
    if (request == nullptr) return {};
  }

  if (options.timeout_seconds != -1) {
    // Seconds beyond what an int of milliseconds holds are capped instead of overflowing.
    const int ms = options.timeout_seconds < 1
                       ? kDefaultTimeoutMs
                       : static_cast<int>(std::min<std::int64_t>(
                             std::int64_t{options.timeout_seconds} * 1000, INT_MAX));
    request->set_timeouts(ms, ms, ms, ms);
  }
  if (!options.proxy.empty()) request->set_proxy(platform::kProxySettingProxy, options.proxy);

  request->open(kMethods[method], url, false);
  if (options.no_redirect) request->set_option(platform::kOptionEnableRedirects, 0);
  // Certificate errors are never switched off: the login carries the seller's password.

  Text headers(options.request_headers);
  if (options.add_default_headers) {
    const Text agent_line = "User-Agent: " + Text(kDefaultUserAgent);
    const DefaultHeader rows[] = {
        kAccept, kReferer, kAcceptLanguage, {"User-Agent:", agent_line}, kFormContentType};
    add_default_headers(headers, rows, url, method);
  }
  if (options.normalize_headers) headers = normalize_header_block(headers);

  if (!options.proxy.empty() && !options.proxy_user.empty()) {
    request->set_credentials(options.proxy_user, options.proxy_password,
                             options.credentials_target);
    if (options.credentials_target == platform::kCredentialsForProxy) {
      const Text pair = Text(options.proxy_user) + ":" + Text(options.proxy_password);
      request->set_request_header("Proxy-Authorization",
                                  "Basic " + base64_encode(text_to_bytes(pair)));
    }
  }

  if (Text* cookies = options.request_cookies; cookies != nullptr) {
    if (!cookies->empty() && text::find_ignore_case(*cookies, "Cookie:") != text::npos) {
      *cookies = text::replace_texts(*cookies, {{"Cookie:", ""}});
    }
    request->set_request_header("Cookie", *cookies);
  }

  if (text::find(headers, kCrLf) == text::npos) {
    const Text name = header_name_of(headers);
    if (!name.empty()) request->set_request_header(name, header_value_of(headers));
  } else {
    for (const Text& line : text::split(headers, kCrLf)) {
      if (line.empty()) continue;
      const Text name = header_name_of(line);
      const Text value = header_value_of(line);
      if (name == "Connection" && value == "keep-alive") continue;
      request->set_request_header(name, value);
    }
  }

  if (!options.body_bytes.empty()) {
    request->send_bytes(options.body_bytes);
  } else {
    request->send_text(options.body_text);
  }

  Bytes body = request->response_body();
  const Text response_headers = request->all_response_headers();
  if (options.response_headers != nullptr) *options.response_headers = response_headers;
  if (options.status_code != nullptr) *options.status_code = request->status();

  Text cookies = finish_cookies(response_headers, options.request_cookies, options.merge_cookies);
  if (options.response_cookies != nullptr) *options.response_cookies = std::move(cookies);
  return body;
}

Bytes wininet_fetch(std::string_view url, const WinInetOptions& options) {
  return wininet_fetch(platform::system_internet(), url, options);
}

Bytes wininet_fetch(platform::Internet& internet, std::string_view url,
                    const WinInetOptions& options) {
  Text headers = options.normalize_headers ? normalize_header_block(options.request_headers)
                                           : Text(options.request_headers);
  const int method = method_index(options.method);
  const bool secure = starts_with_ignore_case(url, "https://");
  const Text agent = internet_user_agent(headers);

  const platform::InternetHandle session =
      options.proxy.empty() ? internet.open(agent, platform::kOpenTypeDirect, "", "")
                            : internet.open(agent, platform::kOpenTypeProxy,
                                            internet_proxy_text(options, secure), "");
  if (session == platform::kNoHandle) return {};
  const platform::InternetHandle connection =
      internet.connect(session, url_host(url), url_port(url), platform::kServiceHttp);
  if (connection == platform::kNoHandle) {
    internet.close(session);
    return {};
  }
  std::uint32_t flags = platform::kFlagReload | platform::kFlagNeedFile;
  if (options.request_cookies != nullptr) flags |= platform::kFlagNoCookies;
  if (options.no_redirect) flags |= platform::kFlagNoAutoRedirect;
  flags |= secure ? platform::kFlagSecure : platform::kFlagIgnoreRedirectToHttps;
  const platform::InternetHandle request =
      internet.open_request(connection, kMethods[method], url_path(url), "HTTP/1.1", flags);
  if (request == platform::kNoHandle) {
    internet.close(connection);
    internet.close(session);
    return {};
  }
  // Redirects may cross between HTTP and HTTPS; no certificate error is ever ignored.
  internet.set_option(request, platform::kOptionSecurityFlags,
                      platform::kSecurityIgnoreRevocation |
                          platform::kSecurityIgnoreRedirectToHttps |
                          platform::kSecurityIgnoreRedirectToHttp);

  if (options.add_default_headers) {
    if (headers.empty()) headers = "Accept: */*";
    const DefaultHeader rows[] = {kAccept, kReferer, kAcceptLanguage, kFormContentType};
    add_default_headers(headers, rows, url, method);
  }
  if (const Text* cookies = options.request_cookies; cookies != nullptr && !cookies->empty()) {
    headers.append(kCrLf);
    if (text::find(*cookies, "Cookie:") == text::npos) headers.append("Cookie: ");
    headers.append(*cookies);
  }

  if (method == 0) {
    internet.send(request, headers, nullptr);
  } else {
    Bytes local_body;
    Bytes& body = options.body_bytes != nullptr ? *options.body_bytes : local_body;
    if (body.empty()) body = text_to_bytes(options.body_text);
    internet.send(request, headers, &body);
  }

  Bytes response;
  std::array<unsigned char, platform::kReadChunk> buffer{};
  while (const std::size_t count = internet.read(request, buffer)) {
    response.insert(response.end(), buffer.begin(), buffer.begin() + count);
  }

  // The whole header block, however long: cutting it would lose the cookies it sets.
  Text response_headers(5000, ' ');
  if (Text raw; internet.query_raw_headers(request, raw)) response_headers = std::move(raw);

  internet.close(request);
  internet.close(connection);
  internet.close(session);

  if (options.response_headers != nullptr) *options.response_headers = response_headers;
  Text cookies = finish_cookies(response_headers, options.request_cookies, options.merge_cookies);
  if (options.response_cookies != nullptr) *options.response_cookies = std::move(cookies);
  return response;
}

Text url_host(std::string_view url) {
  const Text host = url_host_and_port(url);
  const std::size_t colon = text::find(host, ":");
  return colon == text::npos ? host : host.substr(0, colon);
}

int url_port(std::string_view url) {
  const Text host = url_host_and_port(url);
  const std::size_t colon = host.rfind(':');
  if (colon == Text::npos) return starts_with_ignore_case(url, "https") ? 443 : 80;
  return leading_integer(std::string_view(host).substr(colon + 1));
}

Text url_path(std::string_view url) {
  // The host is looked for after the scheme, so that a host such as "h" or "tp" is not found
  // inside "http://".
  const std::size_t scheme_end = text::find(url, "://");
  const std::size_t from = scheme_end == text::npos ? 0 : scheme_end + 3;
  const std::size_t host_at = text::find_ignore_case(url, url_host(url), from);
  if (host_at == text::npos) return "/";
  const std::size_t slash = text::find(url, "/", host_at);
  if (slash == text::npos) return "/";
  return Text(url.substr(slash));
}

Text base64_encode(std::span<const unsigned char> bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Text out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) |
                                (left > 1 ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                (left > 2 ? std::uint32_t{bytes[i + 2]} : 0);
    out.push_back(kAlphabet[(group >> 18) & 63]);
    out.push_back(kAlphabet[(group >> 12) & 63]);
    out.push_back(left > 1 ? kAlphabet[(group >> 6) & 63] : '=');
    out.push_back(left > 2 ? kAlphabet[group & 63] : '=');
  }
  return out;
}

}  // namespace quillax
