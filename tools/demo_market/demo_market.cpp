#include "demo_market.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <random>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <httplib.h>

#include "demo_data.h"
#include "devtls/devtls.h"
#include "http/encodings.h"
#include "http/header_text.h"
#include "json/json_document.h"
#include "text/text.h"

namespace quillax::demo {
namespace {

constexpr char kRegistrationSecret[] = "Pw3hRy7dKa";
constexpr int kNotLoggedIn = 401;

bool iequal(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A member of a JSON request body (UTF-8 on the wire) as UTF-8 text; empty when the body is
// not JSON or has no such member.
std::string body_member(const std::string& body, const std::string& path) {
  JsonDocument doc;
  if (!doc.load(utf8_to_local(body))) return {};
  return local_to_utf8_text(doc.get_text(path));
}

// Ends the connections this process accepted on `port`. A server thread waiting on a kept-alive
// connection sees it end at once, instead of waiting out the keep-alive time when the client
// (in this process or not) keeps the connection open.
void shut_down_connections(int port) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    const int fd = std::atoi(entry.path().filename().c_str());
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.sin_family != AF_INET || ntohs(local.sin_port) != port) {
      continue;
    }
    sockaddr_in peer{};
    length = sizeof peer;
    // The listening socket has no peer; every accepted one does.
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
      ::shutdown(fd, SHUT_RDWR);
    }
  }
}

int int_param(const httplib::Request& req, const char* name, int fallback) {
  if (!req.has_param(name)) return fallback;
  const long value = std::strtol(req.get_param_value(name).c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

}  // namespace

std::string LoggedRequest::header(const std::string& name) const {
  for (const auto& [n, v] : headers) {
    if (iequal(n, name)) return v;
  }
  return {};
}

bool LoggedRequest::has_header(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return iequal(h.first, name); });
}

struct DemoMarket::State {
  DemoOptions options;
  std::string error;
  std::string ca_file;
  std::string made_tls_dir;  // a temp folder start() made, removed again by the destructor
  std::unique_ptr<httplib::SSLServer> https;
  std::unique_ptr<httplib::Server> http;
  std::thread https_thread;
  std::thread http_thread;
  std::atomic<bool> https_done{false};
  std::atomic<bool> http_done{false};
  int https_port = 0;
  int http_port = 0;

  mutable std::mutex mutex;  // guards everything below
  std::vector<Supplier> suppliers = make_suppliers();
  Shop shop = make_shop();
  std::set<std::string> sessions;
  std::vector<LoggedRequest> log;
  std::vector<std::string> release_bodies;
  std::map<std::string, ScriptedAnswer> answers;
  std::set<std::pair<std::string, int>> connections;
  long long next_release_id = 700001;
  long long track = 0;
  std::ofstream log_file;
  std::mt19937_64 random{std::random_device{}()};

  void record(const std::string& scheme, const httplib::Request& req) {
    LoggedRequest r;
    r.scheme = scheme;
    r.method = req.method;
    r.target = req.target;
    r.path = req.target.substr(0, req.target.find('?'));
    for (const auto& [n, v] : req.headers) {
      // The server library adds these itself; they never came from the client.
      if (n == "REMOTE_ADDR" || n == "REMOTE_PORT" || n == "LOCAL_ADDR" || n == "LOCAL_PORT") {
        continue;
      }
      r.headers.emplace_back(n, v);
    }
    r.body = req.body;
    r.remote_port = req.remote_port;
    if (scheme == "https") connections.emplace(req.remote_addr, req.remote_port);
    if (log_file.is_open()) {
      log_file << "== " << scheme << " " << r.method << " " << r.target << " (port "
               << r.remote_port << ")\n";
      for (const auto& [n, v] : r.headers) log_file << n << ": " << v << "\n";
      if (!r.body.empty()) log_file << "\n" << r.body << "\n";
      log_file << "\n";
      log_file.flush();
    }
    log.push_back(std::move(r));
  }

  bool logged_in(const httplib::Request& req) const {
    const std::string cookies = req.get_header_value("Cookie");
    for (const Text& pair : text::split(cookies, "; ")) {
      if (cookie_name_of(pair) != kSessionCookie) continue;
      const std::string value = pair.substr(pair.find('=') + 1);
      if (sessions.count(value) != 0) return true;
    }
    return false;
  }

  // A second cookie that changes with some answers, so that clients must merge.
  void rotate_track(httplib::Response& res) {
    res.set_header("Set-Cookie",
                   std::string(kTrackCookie) + "=t" + std::to_string(++track) + "; Path=/; Secure");
  }

  Supplier* supplier(long long shop_id) {
    for (Supplier& s : suppliers) {
      if (s.shop_id == shop_id) return &s;
    }
    return nullptr;
  }

  Product* product(long long id) {
    for (Supplier& s : suppliers) {
      for (Product& p : s.products) {
        if (p.id == id) return &p;
      }
    }
    return nullptr;
  }

  void reply(httplib::Response& res, const std::string& json) {
    res.set_content(json, "application/json;charset=utf-8");
  }

  void login(const httplib::Request& req, httplib::Response& res) {
    const std::string name = body_member(req.body, "name");
    const std::string password = body_member(req.body, "password");
    if (name.empty() || password.empty()) {
      return reply(res, envelope(10001, "请输入账号和密码", "null"));
    }
    if (name != kDemoAccount || password != kDemoPassword) {
      return reply(res, envelope(10002, "账号或密码错误", "null"));
    }
    char token[33];
    std::snprintf(token, sizeof token, "%016llx%016llx", static_cast<unsigned long long>(random()),
                  static_cast<unsigned long long>(random()));
    sessions.insert(token);
    res.set_header("Set-Cookie",
                   std::string(kSessionCookie) + "=" + token + "; Path=/; HttpOnly; Secure");
    rotate_track(res);
    reply(res,
          envelope(0, "登录成功",
                   json_object({{"name", json_quote(shop.seller_name)},
                                {"shop_id", std::to_string(shop.shop_id)},
                                {"avatar", json_quote("https://img.demo-market.test/a/" +
                                                      std::to_string(shop.shop_id) + ".png")}})));
  }

  void supplier_add(const httplib::Request& req, httplib::Response& res) {
    if (body_member(req.body, "secret") != kRegistrationSecret) {
      return reply(res, envelope(40001, "邀请码无效", "null"));
    }
    reply(res, envelope(0, "添加成功", "[]"));
  }

  void products(const httplib::Request& req, httplib::Response& res) {
    const Supplier* s = supplier(std::strtoll(req.get_param_value("shop_id").c_str(), nullptr, 10));
    if (s == nullptr) return reply(res, envelope(40004, "供应商不存在", "null"));
    rotate_track(res);
    reply(res, products_page_json(*s, int_param(req, "page", 1), int_param(req, "page_size", 20)));
  }

  void order_page(const httplib::Request& req, httplib::Response& res) {
    const Product* p =
        product(std::strtoll(req.get_param_value("order_page_id").c_str(), nullptr, 10));
    if (p == nullptr) return reply(res, envelope(40004, "商品不存在或已下架", "null"));
    rotate_track(res);
    reply(res, order_page_json(*p));
  }

  void release(const httplib::Request& req, httplib::Response& res) {
    Product* p = product(std::strtoll(body_member(req.body, "parent_id").c_str(), nullptr, 10));
    if (p == nullptr || body_member(req.body, "title").empty()) {
      return reply(res, envelope(40005, "参数错误，上架失败", "null"));
    }
    release_bodies.push_back(req.body);
    p->added = next_release_id++;
    reply(res, envelope(0, "上架成功", json_object({{"id", std::to_string(p->added)}})));
  }

  void serve_market(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    record("https", req);
    const std::string path = req.target.substr(0, req.target.find('?'));
    if (auto it = answers.find(path); it != answers.end()) {
      const ScriptedAnswer& a = it->second;
      for (const std::string& c : a.set_cookies) res.set_header("Set-Cookie", c);
      res.status = a.status;
      res.set_content(a.body, a.content_type.c_str());
      return;
    }
    const bool post = req.method == "POST";
    if (post && path == "/api/plan-market/shop/login") return login(req, res);
    if (path.rfind("/api/", 0) == 0 && !logged_in(req)) {
      return reply(res, envelope(kNotLoggedIn, "登录已失效，请重新登录", "null"));
    }
    if (post && path == "/api/plan-market/supplier/add") return supplier_add(req, res);
    if (!post && path == "/api/qlx/supplier/list") {
      return reply(res, supplier_list_json(suppliers, int_param(req, "page", 1),
                                           int_param(req, "page_size", 20)));
    }
    if (!post && path == "/api/plan-market/supplier/products") return products(req, res);
    if (!post && path == "/api/plan-market/order-page") return order_page(req, res);
    if (post && path == "/api/plan-market/order-page/release") return release(req, res);
    if (!post && path == "/api/plan-market/user/shop") {
      rotate_track(res);
      return reply(res, envelope(0, "success",
                                 json_object({{"shop_id", std::to_string(shop.shop_id)},
                                              {"shop_name", json_quote(shop.shop_name)}})));
    }
    if (!post && path.rfind("/qlx/", 0) == 0) {
      return res.set_content(
          "<!doctype html><meta charset=utf-8><title>迷你店铺</title>"
          "<p>演示市场的店铺页面。</p>",
          "text/html;charset=utf-8");
    }
    res.status = 404;
    reply(res, envelope(404, "接口不存在", "null"));
  }

  void serve_notice(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    record("http", req);
    const std::string path = req.target.substr(0, req.target.find('?'));
    if (auto it = answers.find(path); it != answers.end()) {
      res.status = it->second.status;
      res.set_content(it->second.body, it->second.content_type.c_str());
      return;
    }
    if (path != "/qlxnotice.txt") {
      res.status = 404;
      return;
    }
    // Stored as UTF-8 text, as the announcement host keeps it.
    res.set_content("{\"code\":200,\"title\":\"欢迎使用演示市场：账号 " +
                        std::string(kDemoAccount) + "，密码 " + kDemoPassword +
                        "。是否查看店铺页面？\",\"url\":\"https://127.0.0.1:" +
                        std::to_string(https_port) + "/qlx/#/minishop\"}",
                    "text/plain;charset=utf-8");
  }
};

DemoMarket::DemoMarket(DemoOptions options) : state_(std::make_unique<State>()) {
  state_->options = std::move(options);
}

DemoMarket::~DemoMarket() {
  stop();
  if (!state_->made_tls_dir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(state_->made_tls_dir, ignored);
  }
}

bool DemoMarket::start() {
  State& s = *state_;
  std::string cert = s.options.cert_file;
  std::string key = s.options.key_file;
  if (cert.empty() || key.empty()) {
    std::string dir = s.options.tls_dir;
    if (dir.empty()) {
      std::string pattern =
          (std::filesystem::temp_directory_path() / "quillax-demo-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) {
        s.error = "cannot make a folder for the certificates";
        return false;
      }
      dir = pattern;
      s.made_tls_dir = dir;
    }
    const auto files = devtls::write_tls_files(dir);
    if (!files) {
      s.error = "cannot make the demo certificates in " + dir;
      return false;
    }
    cert = files->server_cert.string();
    key = files->server_key.string();
    s.ca_file = files->ca_cert.string();
  }
  if (!s.options.log_file.empty()) {
    s.log_file.open(s.options.log_file, std::ios::app);
    if (!s.log_file) {
      s.error = "cannot open the request log " + s.options.log_file;
      return false;
    }
  }

  s.https = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
  s.http = std::make_unique<httplib::Server>();
  if (!s.https->is_valid()) {
    s.error = "cannot read the certificate " + cert + " or key " + key;
    return false;
  }
  for (httplib::Server* server : {static_cast<httplib::Server*>(s.https.get()), s.http.get()}) {
    // One client connection serves a whole catalogue walk and more.
    server->set_keep_alive_max_count(100000);
    server->set_keep_alive_timeout(30);
    // Headers and body leave in separate writes; without this each answer waits for the
    // client's delayed acknowledgement (about 40 ms on loopback).
    server->set_tcp_nodelay(true);
  }
  auto market = [&s](const httplib::Request& req, httplib::Response& res) {
    s.serve_market(req, res);
  };
  auto notice = [&s](const httplib::Request& req, httplib::Response& res) {
    s.serve_notice(req, res);
  };
  s.https->Get(".*", market).Post(".*", market);
  s.http->Get(".*", notice).Post(".*", notice);

  auto bind = [](httplib::Server& server, int port) {
    if (port == 0) return server.bind_to_any_port("127.0.0.1");
    return server.bind_to_port("127.0.0.1", port) ? port : -1;
  };
  s.https_port = bind(*s.https, s.options.https_port);
  s.http_port = bind(*s.http, s.options.http_port);
  if (s.https_port <= 0 || s.http_port <= 0) {
    s.error = "cannot listen on 127.0.0.1";
    return false;
  }
  // Both sockets listen from here on: connections wait in the backlog until the loops run.
  s.https_thread = std::thread([&s] {
    s.https->listen_after_bind();
    s.https_done = true;
  });
  s.http_thread = std::thread([&s] {
    s.http->listen_after_bind();
    s.http_done = true;
  });
  // A stop() before a loop has started would be missed by it, so wait until both run.
  while (!s.https->is_running() && !s.https_done) std::this_thread::yield();
  while (!s.http->is_running() && !s.http_done) std::this_thread::yield();
  return true;
}

void DemoMarket::stop() {
  State& s = *state_;
  if (s.https) s.https->stop();
  if (s.http) s.http->stop();
  if (s.https_port > 0) shut_down_connections(s.https_port);
  if (s.http_port > 0) shut_down_connections(s.http_port);
  if (s.https_thread.joinable()) s.https_thread.join();
  if (s.http_thread.joinable()) s.http_thread.join();
}

const std::string& DemoMarket::error() const { return state_->error; }
int DemoMarket::https_port() const { return state_->https_port; }
int DemoMarket::http_port() const { return state_->http_port; }
std::string DemoMarket::market_host() const {
  return "127.0.0.1:" + std::to_string(state_->https_port);
}
std::string DemoMarket::notice_host() const {
  return "127.0.0.1:" + std::to_string(state_->http_port);
}
std::string DemoMarket::ca_file() const { return state_->ca_file; }

std::vector<LoggedRequest> DemoMarket::requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->log;
}

std::vector<LoggedRequest> DemoMarket::requests_to(const std::string& path) const {
  std::vector<LoggedRequest> out;
  for (LoggedRequest& r : requests()) {
    if (r.path == path) out.push_back(std::move(r));
  }
  return out;
}

std::vector<std::string> DemoMarket::release_bodies() const {
  std::lock_guard lock(state_->mutex);
  return state_->release_bodies;
}

int DemoMarket::connection_count() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->connections.size());
}

void DemoMarket::set_answer(const std::string& path, ScriptedAnswer answer) {
  std::lock_guard lock(state_->mutex);
  state_->answers[path] = std::move(answer);
}

void DemoMarket::reset() {
  std::lock_guard lock(state_->mutex);
  State& s = *state_;
  s.suppliers = make_suppliers();
  s.shop = make_shop();
  s.sessions.clear();
  s.log.clear();
  s.release_bodies.clear();
  s.answers.clear();
  s.connections.clear();
  s.next_release_id = 700001;
  s.track = 0;
}

}  // namespace quillax::demo
