#include "platform/posix/curl_transfer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

#include <curl/curl.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace quillax::platform::curl {
namespace {

std::atomic<bool> g_reuse{true};

// The process-wide connection, TLS-session and DNS cache, locked per kind of data because the
// announcement runs on another thread than the marketplace exchanges.
class SharedCache {
 public:
  SharedCache() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    share_ = curl_share_init();
    if (share_ == nullptr) return;
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &SharedCache::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &SharedCache::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  }
  ~SharedCache() {
    if (share_ != nullptr) curl_share_cleanup(share_);
    curl_global_cleanup();
  }
  SharedCache(const SharedCache&) = delete;
  SharedCache& operator=(const SharedCache&) = delete;

  CURLSH* share() const { return share_; }

 private:
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<SharedCache*>(self)->mutex_of(data).lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<SharedCache*>(self)->mutex_of(data).unlock();
  }
  std::mutex& mutex_of(curl_lock_data data) {
    const auto index = static_cast<std::size_t>(data);
    return mutexes_[index < mutexes_.size() ? index : 0];
  }

  CURLSH* share_ = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
};

SharedCache& shared_cache() {
  static SharedCache cache;
  return cache;
}

// The certificates of the PEM file named by QUILLAX_CA_FILE, read again when the name changes.
class ExtraTrust {
 public:
  ~ExtraTrust() { clear(); }

  // Adds the extra certificates to a TLS context's store (the system store is already there).
  void add_to(SSL_CTX* context) {
    const char* path = std::getenv("QUILLAX_CA_FILE");
    std::lock_guard<std::mutex> guard(mutex_);
    const std::string name = path != nullptr ? path : "";
    if (name != loaded_from_) load(name);
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    for (X509* cert : certs_) X509_STORE_add_cert(store, cert);
  }

 private:
  void clear() {
    for (X509* cert : certs_) X509_free(cert);
    certs_.clear();
  }
  void load(const std::string& name) {
    clear();
    loaded_from_ = name;
    if (name.empty()) return;
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(name.c_str(), "r"), BIO_free);
    if (!bio) return;
    while (X509* cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
      certs_.push_back(cert);
    }
  }

  std::mutex mutex_;
  std::string loaded_from_;
  std::vector<X509*> certs_;
};

ExtraTrust& extra_trust() {
  static ExtraTrust trust;
  return trust;
}

CURLcode on_tls_context(CURL*, void* context, void*) {
  extra_trust().add_to(static_cast<SSL_CTX*>(context));
  return CURLE_OK;
}

struct Received {
  Text header_block;
  Bytes body;
};

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  const size_t bytes = size * count;
  if (received->body.size() + bytes > kMaxBodyBytes) return 0;  // fails the transfer
  received->body.insert(received->body.end(), data, data + bytes);
  return bytes;
}

size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  const size_t bytes = size * count;
  const std::string_view line(data, bytes);
  // A status line starts a new response (interim, proxy or redirect): only the last one counts.
  if (line.starts_with("HTTP/")) received->header_block.clear();
  if (received->header_block.size() + bytes > kMaxBodyBytes) return 0;
  received->header_block.append(line);
  return bytes;
}

bool has_header(const Exchange& exchange, std::string_view name) {
  for (const auto& [n, v] : exchange.headers) {
    if (same_header_name(n, name)) return true;
  }
  return false;
}

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

bool append(Slist& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (grown == nullptr) return false;
  static_cast<void>(list.release());
  list.reset(grown);
  return true;
}

// The header lines handed to libcurl: the body length first, then the caller's lines in order,
// then blank overrides that keep libcurl from adding Accept, Expect or a form Content-Type.
bool build_header_list(const Exchange& exchange, bool head, Slist& list) {
  const bool with_body = exchange.body.has_value() && !head;
  if (with_body && !append(list, "Content-Length: " + std::to_string(exchange.body->size()))) {
    return false;
  }
  for (const auto& [name, value] : exchange.headers) {
    if (name.empty() || has_line_break(name) || has_line_break(value) ||
        name.find(':') != Text::npos || same_header_name(name, "Content-Length")) {
      continue;
    }
    // "Name;" is libcurl's way to send a header with an empty value.
    if (!append(list, value.empty() ? name + ";" : name + ": " + value)) return false;
  }
  if (!has_header(exchange, "Accept") && !append(list, "Accept:")) return false;
  if (!append(list, "Expect:")) return false;
  if (with_body && !has_header(exchange, "Content-Type") && !append(list, "Content-Type:")) {
    return false;
  }
  return true;
}

// One request and response, without following redirects.
struct Hop {
  Outcome outcome;
  std::string redirect_url;
};

Hop perform_hop(const Exchange& exchange) {
  Hop hop;
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), curl_easy_cleanup);
  if (!easy) return hop;
  CURL* e = easy.get();
  const bool head = exchange.method == "HEAD";

  Slist headers;
  Slist proxy_headers;
  if (!build_header_list(exchange, head, headers)) return hop;

  Received received;
  curl_easy_setopt(e, CURLOPT_URL, exchange.url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1});
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &on_tls_context);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, exchange.connect_timeout_ms);
  curl_easy_setopt(e, CURLOPT_TIMEOUT, kMaxResponseSeconds);
  if (exchange.stall_timeout_s > 0) {
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, exchange.stall_timeout_s);
  }
  curl_easy_setopt(e, CURLOPT_PROXY, exchange.proxy.c_str());
  if (exchange.proxy_credentials) {
    curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, exchange.proxy_credentials->first.c_str());
    curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, exchange.proxy_credentials->second.c_str());
    curl_easy_setopt(e, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
  }
  if (exchange.server_credentials) {
    curl_easy_setopt(e, CURLOPT_USERNAME, exchange.server_credentials->first.c_str());
    curl_easy_setopt(e, CURLOPT_PASSWORD, exchange.server_credentials->second.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
  }
  if (!exchange.proxy.empty() && !exchange.proxy_authorization.empty() &&
      !has_line_break(exchange.proxy_authorization)) {
    // The proxy's credentials go to the proxy alone: in the tunnel request for HTTPS, in the
    // request itself when the proxy forwards plain HTTP.
    const std::string line = "Proxy-Authorization: " + exchange.proxy_authorization;
    const bool tunnel = exchange.url.starts_with("https:");
    if (!append(tunnel ? proxy_headers : headers, line)) return hop;
    curl_easy_setopt(e, CURLOPT_HEADEROPT, long{CURLHEADER_SEPARATE});
    curl_easy_setopt(e, CURLOPT_PROXYHEADER, proxy_headers.get());
  }
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
  if (!exchange.user_agent.empty()) {
    curl_easy_setopt(e, CURLOPT_USERAGENT, exchange.user_agent.c_str());
  }

  if (head) {
    curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
  } else if (exchange.body) {
    static const unsigned char kNothing = 0;
    const unsigned char* data = exchange.body->empty() ? &kNothing : exchange.body->data();
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(exchange.body->size()));
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, data);
    if (exchange.method != "POST") {
      curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, exchange.method.c_str());
    }
  } else {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    if (exchange.method != "GET") {
      curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, exchange.method.c_str());
    }
  }

  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &on_body);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &received);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &on_header);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &received);

  if (g_reuse.load()) {
    if (CURLSH* share = shared_cache().share()) curl_easy_setopt(e, CURLOPT_SHARE, share);
  } else {
    shared_cache();  // libcurl is initialised once, before any handle is used
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
  }

  if (curl_easy_perform(e) != CURLE_OK) return hop;

  long status = 0;
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  char* location = nullptr;
  if (curl_easy_getinfo(e, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location != nullptr) {
    hop.redirect_url = location;
  }
  hop.outcome.ok = true;
  hop.outcome.status = static_cast<int>(status);
  hop.outcome.header_block = std::move(received.header_block);
  hop.outcome.body = std::move(received.body);
  return hop;
}

// "scheme://host:port" of a URL, for telling whether a redirect leaves the origin.
std::string origin_of(const std::string& url) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    return {};
  }
  std::string origin;
  for (CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
    char* piece = nullptr;
    if (curl_url_get(parsed.get(), part, &piece, CURLU_DEFAULT_PORT) == CURLUE_OK) {
      origin.append(piece).push_back('|');
      curl_free(piece);
    }
  }
  return origin;
}

bool is_redirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

Outcome perform(const Exchange& exchange) {
  Exchange current = exchange;
  for (int hops = 0;; ++hops) {
    Hop hop = perform_hop(current);
    if (!hop.outcome.ok || !current.follow_redirects || !is_redirect(hop.outcome.status) ||
        hop.redirect_url.empty()) {
      return std::move(hop.outcome);
    }
    if (hops == kMaxRedirects) return {};
    // As browsers do: 303 turns everything but HEAD into GET, 301 and 302 turn POST into GET;
    // the body and its type go with the method.
    const int status = hop.outcome.status;
    if ((status == 303 && current.method != "HEAD") ||
        ((status == 301 || status == 302) && current.method == "POST")) {
      current.method = "GET";
      current.body.reset();
      std::erase_if(current.headers, [](const auto& header) {
        return same_header_name(header.first, "Content-Type");
      });
    }
    // Cookies and credentials stay with the origin they were meant for.
    if (origin_of(hop.redirect_url) != origin_of(current.url)) {
      std::erase_if(current.headers, [](const auto& header) {
        return same_header_name(header.first, "Cookie") ||
               same_header_name(header.first, "Authorization");
      });
      current.server_credentials.reset();
    }
    current.url = std::move(hop.redirect_url);
  }
}

bool same_header_name(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

bool has_line_break(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

void set_connection_reuse(bool reuse) { g_reuse.store(reuse); }

}  // namespace quillax::platform::curl
