// winhttp_fetch against the recording request object: which calls, in which order, with which
// arguments, and what the caller's variables hold afterwards.
#include <climits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "http/fetch.h"
#include "support/recording_request.h"

namespace quillax {
namespace {

using testing::calls_starting;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RequestScript;

constexpr std::string_view kUrl = "https://shop.test/api/plan-market/shop/login";
constexpr std::string_view kAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::string header_call(std::string_view line) {
  const std::size_t colon = line.find(": ");
  return "SetRequestHeader(" + std::string(line.substr(0, colon)) + ", " +
         std::string(line.substr(colon + 2)) + ")";
}

std::vector<std::string> header_calls(const std::vector<std::string>& lines) {
  std::vector<std::string> calls;
  for (const auto& line : lines) calls.push_back(header_call(line));
  return calls;
}

TEST(WinHttpFetch, MarketplacePostMakesTheseCallsInOrder) {
  RequestScript script;
  Text jar = "sid=1";
  const Bytes body =
      winhttp_fetch(testing::recording_requests(script), kUrl,
                    {.method = 1,
                     .body_text = "{\"a\":1}",
                     .request_cookies = &jar,
                     .request_headers = "Content-Type: application/json;charset=UTF-8"});
  EXPECT_EQ(bytes_to_text(body), "body");
  EXPECT_THAT(
      script.calls,
      ElementsAre(
          "SetTimeouts(15000, 15000, 15000, 15000)", "Open(POST, " + std::string(kUrl) + ", false)",
          "SetRequestHeader(Cookie, sid=1)",
          "SetRequestHeader(Content-Type, application/json;charset=UTF-8)",
          "SetRequestHeader(Accept, */*)", "SetRequestHeader(Referer, " + std::string(kUrl) + ")",
          "SetRequestHeader(Accept-Language, zh-cn)", header_call(kAgent), "SendText({\"a\":1})"));
  // No Option call at all: certificate checks are never switched off.
  EXPECT_THAT(calls_starting(script.calls, "Option"), IsEmpty());
}

TEST(WinHttpFetch, DefaultHeadersAreAddedWhenTheirMarkerIsMissing) {
  const std::string referer = "Referer: " + std::string(kUrl);
  const struct {
    const char* name;
    int method;
    std::string_view headers;
    std::vector<std::string> want;
  } cases[] = {
      {"get", 0, "", {"Accept: */*", referer, "Accept-Language: zh-cn", std::string(kAgent)}},
      {"post adds the form type",
       1,
       "",
       {"Accept: */*", referer, "Accept-Language: zh-cn", std::string(kAgent),
        "Content-Type: application/x-www-form-urlencoded"}},
      {"lower-case content type suppresses the form type and is normalised",
       1,
       "content-type: application/json",
       {"Content-Type: application/json", "Accept: */*", referer, "Accept-Language: zh-cn",
        std::string(kAgent)}},
      {"a value holding a marker suppresses that default",
       0,
       "X-Note: Referer: none",
       {"X-Note: Referer: none", "Accept: */*", "Accept-Language: zh-cn", std::string(kAgent)}},
      {"keep-alive exactly is skipped, other connection values are not",
       0,
       "Connection: keep-alive\r\nConnection: close\r\nConnection: Keep-Alive\r\nAccept: a\r\n"
       "Referer: r\r\nAccept-Language: l\r\nUser-Agent: u",
       {"Connection: close", "Connection: Keep-Alive", "Accept: a", "Referer: r",
        "Accept-Language: l", "User-Agent: u"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RequestScript script;
    winhttp_fetch(testing::recording_requests(script), kUrl,
                  {.method = c.method, .request_headers = c.headers});
    EXPECT_EQ(calls_starting(script.calls, "SetRequestHeader"), header_calls(c.want));
  }
}

TEST(WinHttpFetch, WithoutDefaultsOrNormalisingTheCallersLinesGoAsTheyAre) {
  RequestScript script;
  winhttp_fetch(testing::recording_requests(script), kUrl,
                {.request_headers = "x-a: 1\r\n\r\nbad line",
                 .add_default_headers = false,
                 .normalize_headers = false});
  // A line without a colon still gives a call with an empty name; the object refuses it.
  EXPECT_EQ(calls_starting(script.calls, "SetRequestHeader"),
            (std::vector<std::string>{"SetRequestHeader(x-a, 1)", "SetRequestHeader(, )"}));
}

TEST(WinHttpFetch, TimeOutsFollowTheSecondsGiven) {
  const struct {
    int seconds;
    std::vector<std::string> want;
  } cases[] = {
      {0, {"SetTimeouts(15000, 15000, 15000, 15000)"}},
      {-5, {"SetTimeouts(15000, 15000, 15000, 15000)"}},
      {30, {"SetTimeouts(30000, 30000, 30000, 30000)"}},
      {-1, {}},
      {INT_MAX,
       {"SetTimeouts(" + std::to_string(INT_MAX) + ", " + std::to_string(INT_MAX) + ", " +
        std::to_string(INT_MAX) + ", " + std::to_string(INT_MAX) + ")"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    RequestScript script;
    winhttp_fetch(testing::recording_requests(script), kUrl, {.timeout_seconds = c.seconds});
    EXPECT_EQ(calls_starting(script.calls, "SetTimeouts"), c.want);
  }
}

TEST(WinHttpFetch, CookieVariableIsCleanedSentAndMerged) {
  const struct {
    const char* name;
    Text cookies;
    bool merge;
    std::string want_call;
    Text want_after;
  } cases[] = {
      {"marker removed, merge off", "Cookie: a=1", false, "SetRequestHeader(Cookie,  a=1)", " a=1"},
      {"marker removed, merge trims", "Cookie: a=1", true, "SetRequestHeader(Cookie,  a=1)", "a=1"},
      {"any case", "COOKIE:a=1", true, "SetRequestHeader(Cookie, a=1)", "a=1"},
      {"empty still sets the header", "", true, "SetRequestHeader(Cookie, )", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RequestScript script;
    Text cookies = c.cookies;
    winhttp_fetch(testing::recording_requests(script), kUrl,
                  {.request_cookies = &cookies, .merge_cookies = c.merge});
    EXPECT_EQ(calls_starting(script.calls, "SetRequestHeader(Cookie"),
              std::vector<std::string>{c.want_call});
    EXPECT_EQ(cookies, c.want_after);
  }
  RequestScript omitted;
  winhttp_fetch(testing::recording_requests(omitted), kUrl);
  EXPECT_THAT(calls_starting(omitted.calls, "SetRequestHeader(Cookie"), IsEmpty());
}

TEST(WinHttpFetch, ResponseCookiesAreCollectedAndMergedIntoTheCallersVariable) {
  RequestScript script;
  script.headers =
      "Set-Cookie: a=9; Path=/\r\nset-cookie: c=3\r\nSet-Cookie: b=deleted\r\n"
      "Content-Type: text/plain\r\nSet-Cookie: d=4\r\n";
  script.status = 201;
  Text jar = "a=1; b=2; e=5";
  Text collected = "old";
  Text headers;
  int status = 0;
  winhttp_fetch(testing::recording_requests(script), kUrl,
                {.request_cookies = &jar,
                 .response_cookies = &collected,
                 .response_headers = &headers,
                 .status_code = &status});
  EXPECT_EQ(jar, "a=9; d=4; e=5");
  EXPECT_EQ(collected, "a=9; d=4; e=5");
  EXPECT_EQ(headers, script.headers);
  EXPECT_EQ(status, 201);

  // Without a cookie variable nothing is merged: the pairs come as the response set them.
  winhttp_fetch(testing::recording_requests(script), kUrl, {.response_cookies = &collected});
  EXPECT_EQ(collected, "a=9; b=deleted; d=4");
}

TEST(WinHttpFetch, ProxyAndCredentials) {
  {
    RequestScript script;
    Text jar = "a=1";
    winhttp_fetch(testing::recording_requests(script), kUrl,
                  {.request_cookies = &jar,
                   .proxy = "10.0.0.1:8080",
                   .proxy_user = "user",
                   .proxy_password = "pw"});
    EXPECT_THAT(calls_starting(script.calls, "SetProxy"),
                ElementsAre("SetProxy(2, 10.0.0.1:8080)"));
    EXPECT_THAT(calls_starting(script.calls, "SetCredentials"),
                ElementsAre("SetCredentials(user, pw, 1)"));
    // Proxy-Authorization first, then Cookie, then the header text.
    const auto headers = calls_starting(script.calls, "SetRequestHeader");
    ASSERT_GE(headers.size(), 2u);
    EXPECT_EQ(headers[0], "SetRequestHeader(Proxy-Authorization, Basic dXNlcjpwdw==)");
    EXPECT_EQ(headers[1], "SetRequestHeader(Cookie, a=1)");
  }
  {
    RequestScript script;
    winhttp_fetch(testing::recording_requests(script), kUrl,
                  {.proxy = "p:1", .proxy_user = "user", .credentials_target = 0});
    EXPECT_THAT(calls_starting(script.calls, "SetCredentials"),
                ElementsAre("SetCredentials(user, , 0)"));
    EXPECT_THAT(calls_starting(script.calls, "SetRequestHeader(Proxy"), IsEmpty());
  }
  {
    RequestScript script;
    winhttp_fetch(testing::recording_requests(script), kUrl, {.proxy_user = "user"});
    EXPECT_THAT(calls_starting(script.calls, "SetCredentials"), IsEmpty());
    EXPECT_THAT(calls_starting(script.calls, "SetProxy"), IsEmpty());
  }
}

TEST(WinHttpFetch, MethodRedirectsAndBody) {
  RequestScript script;
  const Bytes raw = {'r', 'a', 'w'};
  winhttp_fetch(testing::recording_requests(script), kUrl,
                {.method = 8, .body_text = "ignored", .no_redirect = true, .body_bytes = raw});
  EXPECT_THAT(calls_starting(script.calls, "Open"),
              ElementsAre("Open(GET, " + std::string(kUrl) + ", false)"));
  EXPECT_THAT(calls_starting(script.calls, "Option"), ElementsAre("Option(6, 0)"));
  EXPECT_THAT(calls_starting(script.calls, "Send"), ElementsAre("SendBytes(raw)"));

  RequestScript negative;
  winhttp_fetch(testing::recording_requests(negative), kUrl, {.method = -1});
  EXPECT_THAT(calls_starting(negative.calls, "Open"),
              ElementsAre("Open(GET, " + std::string(kUrl) + ", false)"));
  EXPECT_THAT(calls_starting(negative.calls, "Send"), ElementsAre("SendText()"));
}

TEST(WinHttpFetch, CreationFailureLeavesEveryVariableAlone) {
  RequestScript script;
  script.creation_fails = true;
  Text jar = "Cookie: a=1";
  Text collected = "c";
  Text headers = "h";
  int status = 7;
  const Bytes body = winhttp_fetch(testing::recording_requests(script), kUrl,
                                   {.request_cookies = &jar,
                                    .response_cookies = &collected,
                                    .response_headers = &headers,
                                    .status_code = &status});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(jar, "Cookie: a=1");
  EXPECT_EQ(collected, "c");
  EXPECT_EQ(headers, "h");
  EXPECT_EQ(status, 7);
  EXPECT_THAT(script.calls, IsEmpty());
}

TEST(WinHttpFetch, FailedSendGivesEmptyResultsAndKeepsTheCookies) {
  RequestScript script;
  script.send_fails = true;
  Text jar = "a=1; ";
  Text collected = "c";
  Text headers = "h";
  int status = 7;
  const Bytes body = winhttp_fetch(testing::recording_requests(script), kUrl,
                                   {.request_cookies = &jar,
                                    .response_cookies = &collected,
                                    .response_headers = &headers,
                                    .status_code = &status});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(headers, "");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(jar, "a=1");
  EXPECT_EQ(collected, "a=1");
}

TEST(WinHttpFetch, UsesTheCallersRequestObjectInsteadOfMakingOne) {
  RequestScript script;
  testing::RecordingRequest object(script);
  winhttp_fetch(testing::recording_requests(script), kUrl, {.request_object = &object});
  EXPECT_EQ(script.objects_made, 0);
  EXPECT_THAT(calls_starting(script.calls, "Open"), ::testing::SizeIs(1));
}

TEST(Base64Encode, PadsToGroupsOfFour) {
  const struct {
    std::string_view in;
    std::string_view want;
  } cases[] = {{"", ""},
               {"f", "Zg=="},
               {"fo", "Zm8="},
               {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="},
               {"user:pw", "dXNlcjpwdw=="},
               {"\xff\xfe\xfd", "//79"}};
  for (const auto& c : cases) {
    EXPECT_EQ(base64_encode(text_to_bytes(c.in)), c.want) << c.in;
  }
}

}  // namespace
}  // namespace quillax
