#include "market/market_fixture.h"

#include "market/marketplace.h"

namespace quillax::testing {
namespace {

// Made before the first exchange, so it is destroyed after the network backend's connection
// cache: by then the program's kept-alive connections are closed and the server stops at once
// instead of waiting out its keep-alive time on each of them.
demo::DemoMarket& started_market() {
  static demo::DemoMarket market;
  return market;
}

// Starts the server before the first test and points the program's settings at it. The
// settings are set before any exchange runs, so the network backend reads the CA file.
class DemoEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    demo::DemoMarket& market = started_market();
    ASSERT_TRUE(market.start()) << market.error();
    ::setenv("QUILLAX_MARKET_HOST", market.market_host().c_str(), 1);
    ::setenv("QUILLAX_NOTICE_HOST", market.notice_host().c_str(), 1);
    ::setenv("QUILLAX_CA_FILE", market.ca_file().c_str(), 1);
  }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DemoEnvironment);

}  // namespace

demo::DemoMarket& demo_market() { return started_market(); }

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  const char* old = std::getenv(name);
  had_old_ = old != nullptr;
  if (had_old_) old_ = old;
  ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (had_old_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

MarketTest::MarketTest() : market_(demo_market()), window_(ui_) {}

void MarketTest::SetUp() {
  market_.reset();
  window_.create();
}

void MarketTest::log_in(const std::string& account, const std::string& password) {
  window_.set_text(Control::Edit1, account);
  window_.set_text(Control::Edit2, password);
  login_command(window_, state_);
}

std::vector<Text> MarketTest::column(int column) const {
  std::vector<Text> out;
  for (int row = 0; row < window_.list_row_count(); ++row) {
    out.push_back(window_.list_cell(row, column));
  }
  return out;
}

void MarketTest::answer(const std::string& path, const std::string& body,
                        std::vector<std::string> set_cookies) {
  demo_market().set_answer(path, {body, std::move(set_cookies)});
}

}  // namespace quillax::testing
