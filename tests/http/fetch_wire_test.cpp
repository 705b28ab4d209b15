// Both facilities over the libcurl backends against an in-process HTTPS server: the request
// exactly as it arrives, cookies, redirects, time-outs, certificate checks, connection reuse.
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "http/fetch.h"
#include "support/test_server.h"

namespace quillax {
namespace {

using testing::CannedResponse;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::RecordedRequest;
using testing::TestServer;
using testing::Trust;

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

TEST(FetchOverTheWire, GetThroughWinInetArrivesExactlyAsBuilt) {
  TestServer server([](const RecordedRequest&) {
    return CannedResponse{200, {{"Set-Cookie", "sid=2; Path=/"}, {"Set-Cookie", "t=9"}}, "[1]"};
  });
  const std::string url = server.url("/api/qlx/supplier/list?page=1");
  Text jar = "sid=1; u=7";
  Text headers;
  const Bytes body = wininet_fetch(url, {.request_cookies = &jar,
                                         .request_headers = "Content-Type: application/json",
                                         .response_headers = &headers});
  EXPECT_EQ(bytes_to_text(body), "[1]");
  EXPECT_EQ(jar, "sid=2; t=9; u=7");
  EXPECT_THAT(headers, ::testing::StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(headers, ::testing::EndsWith("\r\n\r\n"));

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line, "GET /api/qlx/supplier/list?page=1 HTTP/1.1");
  EXPECT_THAT(requests[0].header_lines(),
              ElementsAre("Host: 127.0.0.1:" + std::to_string(server.port()),
                          "User-Agent: " + kAgent, "Content-Type: application/json", "Accept: */*",
                          "Referer: " + url, "Accept-Language: zh-cn", "Cookie: sid=1; u=7"));
  EXPECT_EQ(requests[0].body, "");
}

TEST(FetchOverTheWire, PostThroughWinHttpArrivesExactlyAsBuiltWithAUtf8Body) {
  TestServer server([](const RecordedRequest&) {
    return CannedResponse{200,
                          {{"Set-Cookie", "sid=2; HttpOnly"}, {"Set-Cookie", "old=deleted"}},
                          "{\"msg\":{\"code\":0}}"};
  });
  const std::string url = server.url("/api/plan-market/shop/login");
  const Text json = "{\"name\":\"\xD6\xD0\"}";  // 中 in GBK
  Text jar = "old=1; keep=3";
  int status = 0;
  const Bytes body =
      winhttp_fetch(url, {.method = 1,
                          .body_text = json,
                          .request_cookies = &jar,
                          .request_headers = "Content-Type: application/json;charset=UTF-8",
                          .status_code = &status});
  EXPECT_EQ(bytes_to_text(body), "{\"msg\":{\"code\":0}}");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(jar, "sid=2; keep=3");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string utf8_body = "{\"name\":\"\xE4\xB8\xAD\"}";
  EXPECT_EQ(requests[0].request_line, "POST /api/plan-market/shop/login HTTP/1.1");
  EXPECT_THAT(
      requests[0].header_lines(),
      ElementsAre("Host: 127.0.0.1:" + std::to_string(server.port()),
                  "Content-Length: " + std::to_string(utf8_body.size()), "Cookie: old=1; keep=3",
                  "Content-Type: application/json;charset=UTF-8", "Accept: */*", "Referer: " + url,
                  "Accept-Language: zh-cn", "User-Agent: " + kAgent));
  EXPECT_EQ(requests[0].body, utf8_body);
}

// /old answers 302 to /new, which answers "new" and sets a cookie.
CannedResponse redirecting(const RecordedRequest& request) {
  if (request.target() == "/old") {
    return {302, {{"Location", "/new"}, {"Set-Cookie", "hop=1"}}, "moved"};
  }
  return {200, {{"Set-Cookie", "final=1"}}, "new"};
}

TEST(FetchOverTheWire, RedirectsAreFollowedUnlessSwitchedOffAndOnlyTheFinalHeadersCount) {
  TestServer server(redirecting);
  Text headers;
  int status = 0;
  Text cookies;
  EXPECT_EQ(bytes_to_text(winhttp_fetch(server.url("/old"), {.method = 1,
                                                             .body_text = "x=1",
                                                             .response_cookies = &cookies,
                                                             .response_headers = &headers,
                                                             .status_code = &status})),
            "new");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(cookies, "final=1");
  EXPECT_THAT(headers, Not(HasSubstr("hop=1")));
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  // As browsers do, a POST answered with 302 goes on as a GET without its body.
  EXPECT_EQ(requests[1].request_line, "GET /new HTTP/1.1");
  EXPECT_EQ(requests[1].header("Content-Length"), "");
  EXPECT_EQ(requests[1].header("Content-Type"), "");

  EXPECT_EQ(bytes_to_text(
                winhttp_fetch(server.url("/old"), {.status_code = &status, .no_redirect = true})),
            "moved");
  EXPECT_EQ(status, 302);

  Text raw;
  EXPECT_EQ(bytes_to_text(wininet_fetch(server.url("/old"), {.response_headers = &raw})), "new");
  EXPECT_THAT(raw, ::testing::StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(raw, Not(HasSubstr("302")));
  EXPECT_EQ(bytes_to_text(
                wininet_fetch(server.url("/old"), {.response_headers = &raw, .no_redirect = true})),
            "moved");
  EXPECT_THAT(raw, ::testing::StartsWith("HTTP/1.1 302 Found\r\n"));
}

TEST(FetchOverTheWire, ASilentServerHitsTheTimeOut) {
  TestServer server([](const RecordedRequest&) { return CannedResponse{.hang = true}; });
  Text jar = "a=1";
  Text headers = "h";
  int status = 7;
  const Bytes body = winhttp_fetch(server.url("/slow"), {.request_cookies = &jar,
                                                         .response_headers = &headers,
                                                         .status_code = &status,
                                                         .timeout_seconds = 1});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(headers, "");
  EXPECT_EQ(jar, "a=1");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(FetchOverTheWire, AnUntrustedCertificateFailsBothFacilities) {
  TestServer trusted;  // points QUILLAX_CA_FILE at a CA that did not sign the next server
  TestServer untrusted({}, Trust::kUntrusted);
  Text jar = "a=1";
  int status = 7;
  EXPECT_TRUE(
      winhttp_fetch(
          untrusted.url("/login"),
          {.method = 1, .body_text = "secret", .request_cookies = &jar, .status_code = &status})
          .empty());
  EXPECT_EQ(status, 0);
  Text raw;
  EXPECT_TRUE(
      wininet_fetch(untrusted.url("/list"), {.request_cookies = &jar, .response_headers = &raw})
          .empty());
  EXPECT_EQ(jar, "a=1");
  EXPECT_THAT(untrusted.requests(), IsEmpty());  // nothing got past the handshake
  EXPECT_EQ(bytes_to_text(wininet_fetch(trusted.url("/"))), "ok");
}

TEST(FetchOverTheWire, ManyExchangesShareOneConnection) {
  TestServer server;
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(bytes_to_text(wininet_fetch(server.url("/get"))), "ok");
    EXPECT_EQ(bytes_to_text(winhttp_fetch(server.url("/post"), {.method = 1, .body_text = "b"})),
              "ok");
  }
  EXPECT_EQ(server.requests().size(), 20u);
  EXPECT_EQ(server.connections(), 1);
}

TEST(FetchOverTheWire, ABodyOverTheCapFailsLikeABrokenConnection) {
  TestServer server([](const RecordedRequest& request) {
    const std::size_t size = request.target() == "/big" ? (std::size_t{64} << 20) + 1 : 5;
    return CannedResponse{200, {}, std::string(size, 'b')};
  });
  int status = 7;
  EXPECT_TRUE(winhttp_fetch(server.url("/big"), {.status_code = &status}).empty());
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(wininet_fetch(server.url("/big")).empty());
  EXPECT_EQ(wininet_fetch(server.url("/small")).size(), 5u);
}

TEST(FetchOverTheWire, PlainHttpAnnouncement) {
  TestServer server(
      [](const RecordedRequest&) {
        return CannedResponse{200, {}, "{\"a\":1}"};
      },
      Trust::kPlainHttp);
  EXPECT_EQ(bytes_to_text(wininet_fetch(server.url("/qlxnotice.txt"))), "{\"a\":1}");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_THAT(requests[0].header_lines({"Host"}),
              ElementsAre("User-Agent: " + kAgent, "Accept: */*",
                          "Referer: " + server.url("/qlxnotice.txt"), "Accept-Language: zh-cn"));
}

TEST(FetchOverTheWire, RequestObjectReplacesAndRemovesHeadersByName) {
  TestServer server;
  auto request = platform::create_request();
  ASSERT_TRUE(request);
  ASSERT_TRUE(request->open("GET", server.url("/h"), false));
  EXPECT_FALSE(request->set_request_header("X-Evil", "a\r\nInjected: 1"));
  request->set_request_header("X-One", "1");
  request->set_request_header("X-Two", "2");
  request->set_request_header("x-one", "again");
  request->set_request_header("X-Two", "");
  ASSERT_TRUE(request->send_text(""));
  EXPECT_EQ(request->status(), 200);
  EXPECT_EQ(bytes_to_text(request->response_body()), "ok");
  EXPECT_EQ(request->all_response_headers(), "Content-Length: 2\r\n");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_THAT(requests[0].header_lines({"Host"}), ElementsAre("X-One: again"));
}

TEST(FetchOverTheWire, ProxyCredentialsGoToTheProxy) {
  TestServer proxy({}, Trust::kPlainHttp);
  const std::string target = "http://upstream.invalid/notice.txt";
  EXPECT_EQ(
      bytes_to_text(winhttp_fetch(target, {.proxy = "127.0.0.1:" + std::to_string(proxy.port()),
                                           .proxy_user = "user",
                                           .proxy_password = "pw"})),
      "ok");
  const auto requests = proxy.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line, "GET " + target + " HTTP/1.1");
  EXPECT_THAT(requests[0].header_lines(),
              ::testing::Contains("Proxy-Authorization: Basic dXNlcjpwdw==").Times(1));
  EXPECT_THAT(requests[0].header_lines({"Proxy-Authorization"}),
              Not(::testing::Contains(HasSubstr("dXNlcjpwdw=="))));
}

}  // namespace
}  // namespace quillax
