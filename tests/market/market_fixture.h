// The demo marketplace started once per test binary on 127.0.0.1 (free ports), with the
// program's three settings pointing at it, and a fixture with an in-memory window.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "demo_market/demo_market.h"
#include "support/fake_ui.h"

namespace quillax::testing {

// The running demo marketplace of this test binary.
demo::DemoMarket& demo_market();

// Sets an environment variable for the life of the object, then restores the earlier value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_old_;
};

// A host on which nothing listens: every exchange with it fails.
inline constexpr char kDeadHost[] = "127.0.0.1:1";

// Each test starts with a fresh demo marketplace (initial catalogue, no sessions, empty request
// log), an in-memory window with the form, and an empty cookie jar.
class MarketTest : public ::testing::Test {
 protected:
  MarketTest();
  void SetUp() override;

  // Types the demo account and password and clicks 按钮1 (its messages answered OK).
  void log_in(const std::string& account = demo::kDemoAccount,
              const std::string& password = demo::kDemoPassword);

  // The text of every row's cell in `column`, in order.
  std::vector<Text> column(int column) const;

  // A scripted marketplace answer at `path`.
  static void answer(const std::string& path, const std::string& body,
                     std::vector<std::string> set_cookies = {});

  demo::DemoMarket& market_;
  FakeUi ui_;
  MainWindow window_;
  ProcessState state_;
};

}  // namespace quillax::testing
