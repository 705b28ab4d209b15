#include "market/market_fixture.h"

#include <memory>

#include "market/marketplace.h"

namespace quillax::testing {
namespace {

demo::DemoMarket* g_market = nullptr;

// Starts the server before the first test and points the program's settings at it. The
// settings are set before any exchange runs, so the network backend reads the CA file.
class DemoEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    market_ = std::make_unique<demo::DemoMarket>();
    ASSERT_TRUE(market_->start()) << market_->error();
    ::setenv("QUILLAX_MARKET_HOST", market_->market_host().c_str(), 1);
    ::setenv("QUILLAX_NOTICE_HOST", market_->notice_host().c_str(), 1);
    ::setenv("QUILLAX_CA_FILE", market_->ca_file().c_str(), 1);
    g_market = market_.get();
  }
  void TearDown() override {
    g_market = nullptr;
    market_.reset();
  }

 private:
  std::unique_ptr<demo::DemoMarket> market_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DemoEnvironment);

}  // namespace

demo::DemoMarket& demo_market() { return *g_market; }

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
