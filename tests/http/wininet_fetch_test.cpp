// wininet_fetch against the recording WinInet-like calls, and the URL helpers.
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "http/fetch.h"
#include "support/recording_internet.h"

namespace quillax {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingInternet;

constexpr std::string_view kUrl = "https://shop.test/api/qlx/supplier/list?page=1";
constexpr std::string_view kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::vector<std::string> starting(const std::vector<std::string>& calls, std::string_view prefix) {
  std::vector<std::string> out;
  for (const auto& call : calls) {
    if (call.starts_with(prefix)) out.push_back(call);
  }
  return out;
}

TEST(WinInetFetch, MarketplaceGetMakesTheseCallsInOrder) {
  RecordingInternet internet;
  Text jar = "sid=1";
  const Bytes body =
      wininet_fetch(internet, kUrl,
                    {.request_cookies = &jar, .request_headers = "Content-Type: application/json"});
  EXPECT_EQ(bytes_to_text(body), "body");
  EXPECT_THAT(
      internet.calls,
      ElementsAre("Open(" + std::string(kAgent) + ", 1, , )", "Connect(1, shop.test, 443, 3)",
                  "OpenRequest(2, GET, /api/qlx/supplier/list?page=1, HTTP/1.1, 0x80880010)",
                  // redirects across schemes and revocation only; no certificate flag
                  "SetOption(3, 31, 0xc080)", "Send(3)", "Read(3, 1024) = 4", "Read(3, 1024) = 0",
                  "QueryRawHeaders(3)", "Close(3)", "Close(2)", "Close(1)"));
  EXPECT_EQ(internet.sent_headers,
            "Content-Type: application/json\r\nAccept: */*\r\nReferer: " + std::string(kUrl) +
                "\r\nAccept-Language: zh-cn\r\nCookie: sid=1");
  EXPECT_EQ(internet.sent_body, "<none>");
}

TEST(WinInetFetch, AnnouncementGetOverPlainHttpKeepsThePlatformCookies) {
  RecordingInternet internet;
  const std::string url = "http://notice.test/qlxnotice.txt";
  wininet_fetch(internet, url);
  EXPECT_THAT(starting(internet.calls, "Connect"), ElementsAre("Connect(1, notice.test, 80, 3)"));
  EXPECT_THAT(starting(internet.calls, "OpenRequest"),
              ElementsAre("OpenRequest(2, GET, /qlxnotice.txt, HTTP/1.1, 0x80004010)"));
  EXPECT_EQ(internet.sent_headers, "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn");
}

TEST(WinInetFetch, RequestFlagsFollowSchemeCookiesAndRedirects) {
  const struct {
    const char* url;
    bool cookies;
    bool no_redirect;
    const char* flags;
  } cases[] = {
      {"HTTPS://Shop.Test/x", false, false, "0x80800010"},
      {"https://shop.test/x", true, true, "0x80a80010"},
      {"http://shop.test/x", true, false, "0x80084010"},
      {"shop.test/x", false, true, "0x80204010"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    RecordingInternet internet;
    Text jar;
    wininet_fetch(internet, c.url,
                  {.request_cookies = c.cookies ? &jar : nullptr, .no_redirect = c.no_redirect});
    EXPECT_THAT(starting(internet.calls, "OpenRequest"),
                ElementsAre(::testing::EndsWith(std::string(c.flags) + ")")));
  }
}

TEST(WinInetFetch, PostSendsTheBodyTextAndHandsItsBytesBack) {
  RecordingInternet internet;
  Bytes body_bytes;
  wininet_fetch(internet, kUrl, {.method = 1, .body_text = "a=1", .body_bytes = &body_bytes});
  EXPECT_EQ(internet.sent_body, "a=1");
  EXPECT_EQ(bytes_to_text(body_bytes), "a=1");
  EXPECT_EQ(internet.sent_headers, "Accept: */*\r\nReferer: " + std::string(kUrl) +
                                       "\r\nAccept-Language: zh-cn\r\n"
                                       "Content-Type: application/x-www-form-urlencoded");

  // Given bytes win over the text; a GET sends no body even when one is given.
  RecordingInternet put;
  Bytes raw = {'r'};
  wininet_fetch(put, kUrl, {.method = 3, .body_text = "t", .body_bytes = &raw});
  EXPECT_EQ(put.sent_body, "r");
  RecordingInternet get;
  wininet_fetch(get, kUrl, {.method = 9, .body_text = "t"});
  EXPECT_EQ(get.sent_body, "<none>");
  EXPECT_THAT(starting(get.calls, "OpenRequest"), ElementsAre(::testing::HasSubstr(", GET, ")));
}

TEST(WinInetFetch, HeaderTextIsNormalisedAndTheUserAgentTakenFromIt) {
  const struct {
    const char* name;
    std::string_view headers;
    bool normalize;
    std::string agent;
    std::string sent_start;
    bool form_type;
  } cases[] = {
      {"form type suppressed by a lower-case line", "content-type: application/json", true,
       std::string(kAgent), "Content-Type: application/json\r\nAccept: */*", false},
      {"agent from the header text, line kept", "User-Agent: abc", true, "abc",
       "User-Agent: abc\r\nAccept: */*", true},
      {"lower-case agent line without normalising: the whole text after the first colon",
       "X: 1\r\nuser-agent: abc", false, "1\r\nuser-agent: abc", "X: 1\r\nuser-agent: abc", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingInternet internet;
    wininet_fetch(internet, kUrl,
                  {.method = 1, .request_headers = c.headers, .normalize_headers = c.normalize});
    EXPECT_THAT(starting(internet.calls, "Open("), ElementsAre("Open(" + c.agent + ", 1, , )"));
    EXPECT_THAT(internet.sent_headers, ::testing::StartsWith(c.sent_start));
    EXPECT_EQ(internet.sent_headers.find("application/x-www-form") != Text::npos, c.form_type);
  }
}

TEST(WinInetFetch, CookieLineRules) {
  const struct {
    Text cookies;
    std::string sent_end;
  } cases[] = {
      {"a=1", "zh-cn\r\nCookie: a=1"},
      {"Cookie: a=1", "zh-cn\r\nCookie: a=1"},
      {"cookie: a=1", "zh-cn\r\nCookie: cookie: a=1"},
      {"", "zh-cn"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cookies);
    RecordingInternet internet;
    Text jar = c.cookies;
    Text collected = "x";
    wininet_fetch(internet, kUrl, {.request_cookies = &jar, .response_cookies = &collected});
    EXPECT_THAT(internet.sent_headers, ::testing::EndsWith(c.sent_end));
    if (c.cookies.empty()) {
      EXPECT_EQ(jar, "");
      EXPECT_EQ(collected, "");
    }
  }
  // Without defaults the cookie line is still added.
  RecordingInternet bare;
  Text jar = "a=1";
  wininet_fetch(bare, kUrl, {.request_cookies = &jar, .add_default_headers = false});
  EXPECT_EQ(bare.sent_headers, "\r\nCookie: a=1");
}

TEST(WinInetFetch, ResponseCookiesFromTheWholeHeaderBlockAreMerged) {
  RecordingInternet internet;
  // A header block far over 5000 bytes still yields the cookies at its end.
  internet.raw_headers =
      "HTTP/1.1 200 OK\r\nContent-Security-Policy: " + std::string(9000, 'x') +
      "\r\nSet-Cookie: a=9; Path=/\r\nset-cookie: c=3\r\nSet-Cookie: b=2\r\n\r\n";
  Text jar = "a=1; z=0";
  Text collected;
  Text headers;
  wininet_fetch(
      internet, kUrl,
      {.request_cookies = &jar, .response_cookies = &collected, .response_headers = &headers});
  EXPECT_EQ(headers, internet.raw_headers);
  EXPECT_EQ(jar, "a=9; b=2; z=0");
  EXPECT_EQ(collected, "a=9; b=2; z=0");

  wininet_fetch(internet, kUrl, {.response_cookies = &collected, .merge_cookies = false});
  EXPECT_EQ(collected, "a=9; b=2");
}

TEST(WinInetFetch, MissingHeadersLeaveSpacesAndTheMergedCookiesAlone) {
  RecordingInternet internet;
  internet.headers_fail = true;
  internet.body.clear();
  Text jar = "a=1;";
  Text collected = "x";
  Text headers;
  const Bytes body = wininet_fetch(
      internet, kUrl,
      {.request_cookies = &jar, .response_cookies = &collected, .response_headers = &headers});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, std::string(5000, ' '));
  EXPECT_EQ(jar, "a=1");
  EXPECT_EQ(collected, "a=1");
}

TEST(WinInetFetch, BodyIsReadIn1024ByteChunks) {
  RecordingInternet internet;
  internet.body.assign(2500, 'b');
  const Bytes body = wininet_fetch(internet, kUrl);
  EXPECT_EQ(body, internet.body);
  EXPECT_THAT(starting(internet.calls, "Read"),
              ElementsAre("Read(3, 1024) = 1024", "Read(3, 1024) = 1024", "Read(3, 1024) = 452",
                          "Read(3, 1024) = 0"));
}

TEST(WinInetFetch, FailedOpensReturnAtOnceClosingWhatWasOpened) {
  const struct {
    const char* name;
    bool open, connect, request;
    std::vector<std::string> closes;
  } cases[] = {
      {"session", true, false, false, {}},
      {"connection", false, true, false, {"Close(1)"}},
      {"request", false, false, true, {"Close(2)", "Close(1)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingInternet internet;
    internet.open_fails = c.open;
    internet.connect_fails = c.connect;
    internet.open_request_fails = c.request;
    Text jar = "Cookie: a=1";
    Text collected = "c";
    Text headers = "h";
    Bytes body_bytes;
    const Bytes body = wininet_fetch(internet, kUrl,
                                     {.method = 1,
                                      .body_text = "t",
                                      .request_cookies = &jar,
                                      .response_cookies = &collected,
                                      .response_headers = &headers,
                                      .body_bytes = &body_bytes});
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(jar, "Cookie: a=1");
    EXPECT_EQ(collected, "c");
    EXPECT_EQ(headers, "h");
    EXPECT_TRUE(body_bytes.empty());
    EXPECT_EQ(starting(internet.calls, "Close"), c.closes);
    EXPECT_THAT(starting(internet.calls, "Send"), IsEmpty());
  }
}

TEST(WinInetFetch, ProxyTexts) {
  const struct {
    const char* url;
    bool socks;
    const char* want;
  } cases[] = {
      {"https://shop.test/", false, ", 3, 10.0.0.1:8080, )"},
      {"http://shop.test/", false, ", 3, http=10.0.0.1:8080, )"},
      {"https://shop.test/", true, ", 3, SOCKS=10.0.0.1:8080, )"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.want);
    RecordingInternet internet;
    wininet_fetch(internet, c.url, {.proxy = "10.0.0.1:8080", .socks_proxy = c.socks});
    EXPECT_THAT(starting(internet.calls, "Open("), ElementsAre(::testing::EndsWith(c.want)));
  }
}

TEST(UrlParts, HostPortAndPath) {
  const struct {
    std::string_view url;
    std::string_view host;
    int port;
    std::string_view path;
  } cases[] = {
      {"HTTPS://Shop.Example.COM:8443/x?y=1", "shop.example.com", 8443, "/x?y=1"},
      {"Shop.Example.com", "shop.example.com", 80, "/"},
      {"https://shop.test", "shop.test", 443, "/"},
      {"http://127.0.0.1:8080/a/b", "127.0.0.1", 8080, "/a/b"},
      {"hTtPs://h/p", "h", 443, "/p"},  // a host that also occurs in the scheme
      {"http://h:/x", "h", 0, "/x"},    // an empty port: the platform's default
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(url_host(c.url), c.host);
    EXPECT_EQ(url_port(c.url), c.port);
    EXPECT_EQ(url_path(c.url), c.path);
  }
}

}  // namespace
}  // namespace quillax
