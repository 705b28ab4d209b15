#include "app/main_window.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "platform/codepage.h"
#include "support/fake_ui.h"
#include "support/window_conformance.h"

namespace quillax {
namespace {

using platform::ControlKind;
using platform::Rect;
using testing::FakeUi;

TEST(MainForm, BuildsEveryControlThroughTheSeamAtItsPlaceWithItsText) {
  FakeUi ui;
  MainWindow window(ui);
  window.create();

  EXPECT_EQ(ui.caption(), gbk("Quillax上架助手1.2"));
  EXPECT_EQ(ui.outer_width(), 320);
  EXPECT_EQ(ui.outer_height(), 350);
  EXPECT_EQ(ui.control_count(), kControlCount);
  for (const ControlSpec& entry : main_form().controls) {
    SCOPED_TRACE(static_cast<int>(entry.control));
    const platform::ControlId id = window.id(entry.control);
    EXPECT_EQ(ui.kind(id), entry.kind);
    EXPECT_EQ(ui.rect(id), entry.rect);
    EXPECT_EQ(control_name(entry.control), entry.name);
    if (entry.kind != ControlKind::timer && entry.kind != ControlKind::combo_box &&
        entry.kind != ControlKind::list_view) {
      EXPECT_EQ(window.text(entry.control), entry.text);
    }
  }
  EXPECT_EQ(ui.column_headers(window.id(Control::List1)),
            (std::vector<Text>{"No", gbk("产品名称"), gbk("状态")}));
  EXPECT_EQ(ui.column_widths(window.id(Control::List1)), (std::vector<int>{30, 200, 50}));

  // Spot checks of the places and texts the commands depend on.
  EXPECT_EQ(control_name(Control::Button4), gbk("按钮4"));
  EXPECT_EQ(control_name(Control::List1), gbk("超级列表框1"));
  EXPECT_EQ(ui.kind(window.id(Control::Edit2)), ControlKind::password_edit);
  EXPECT_EQ(window.text(Control::Edit3), "90");
  EXPECT_EQ(window.text(Control::Button3), gbk("上架"));
  EXPECT_EQ(ui.rect(window.id(Control::List1)), (Rect{10, 100, 290, 210}));
  EXPECT_EQ(window.timer_period(), 0);
  EXPECT_EQ(window.combo_selection(), -1);
  EXPECT_EQ(window.list_row_count(), 0);
}

TEST(MainForm, ControlOperationsOnTheInMemoryWindow) {
  FakeUi ui;
  MainWindow window(ui);
  window.create();
  EXPECT_EQ(testing::check_control_operations(window), std::vector<std::string>{});
}

TEST(MainForm, GbkLiteralsAreGbkBytes) {
  EXPECT_EQ(gbk("信息："), "\xD0\xC5\xCF\xA2\xA3\xBA");
  EXPECT_EQ(default_message_caption(), gbk("信息："));
  EXPECT_EQ(gbk("abc"), "abc");
}

TEST(ShowMessage, PassesTextCaptionAndStyleAndDefaultsTheCaption) {
  FakeUi ui;
  MainWindow window(ui);
  window.create();
  ui.answer_next(MessageButton::yes);

  EXPECT_EQ(window.show_message(gbk("公告内容"), gbk("公告"), MessageStyle::yes_no),
            MessageButton::yes);
  EXPECT_EQ(window.show_message(gbk("已全部上架")), MessageButton::ok);
  window.show_message("x", {}, MessageStyle::stop);

  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].caption, gbk("公告"));
  EXPECT_EQ(shown[0].style, MessageStyle::yes_no);
  EXPECT_EQ(shown[1].text, gbk("已全部上架"));
  EXPECT_EQ(shown[1].caption, gbk("信息："));
  EXPECT_EQ(shown[1].style, MessageStyle::plain);
  EXPECT_EQ(shown[2].caption, gbk("信息："));
  EXPECT_EQ(shown[2].style, MessageStyle::stop);
  EXPECT_EQ(static_cast<int>(MessageStyle::stop), 16);
  EXPECT_EQ(static_cast<int>(MessageStyle::yes_no), 4);
  EXPECT_EQ(static_cast<int>(MessageStyle::plain), 0);
}

TEST(OpenUrl, OpensOnlyWebUrls) {
  struct Case {
    const char* url;
    bool opened;
  };
  const Case cases[] = {
      {"http://shop.example/qlx/#/minishop?id=1", true},
      {"https://example.com", true},
      {"HTTPS://EXAMPLE.COM", true},
      {"hTtP://x", true},
      {"", false},
      {"file:///etc/passwd", false},
      {"C:\\Windows\\System32\\calc.exe", false},
      {"/usr/bin/xterm", false},
      {"javascript:alert(1)", false},
      {"httpx://example.com", false},
      {"http:/example.com", false},
      {" http://example.com", false},
      {"ftp://example.com", false},
      {"http", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    FakeUi ui;
    MainWindow window(ui);
    window.open_url(c.url);
    EXPECT_EQ(ui.opened_urls().size(), c.opened ? 1u : 0u);
    EXPECT_EQ(is_web_url(c.url), c.opened);
  }
}

TEST(PauseWithEvents, ZeroOrLessNeverReachesTheWindow) {
  FakeUi ui;
  MainWindow window(ui);
  window.pause_with_events(0);
  window.pause_with_events(-5);
  EXPECT_TRUE(ui.pauses().empty());
  window.pause_with_events(200);
  EXPECT_EQ(ui.pauses(), (std::vector<int>{200}));
}

TEST(FakeTimer, FiresOnePeriodAfterItIsSetAndNeverWhenIdle) {
  FakeUi ui;
  MainWindow window(ui);
  window.create();
  std::vector<long long> ticks;
  window.on_event(Control::Timer1, [&] { ticks.push_back(ui.now()); });

  ui.advance(1000);
  EXPECT_TRUE(ticks.empty());  // idle from creation
  window.set_timer_period(0);
  ui.advance(1000);
  EXPECT_TRUE(ticks.empty());

  window.set_timer_period(300);
  ui.advance(299);
  EXPECT_TRUE(ticks.empty());
  ui.advance(400);  // now 2699: ticks at 2300 and 2600
  EXPECT_EQ(ticks, (std::vector<long long>{2300, 2600}));

  window.set_timer_period(-1);
  ui.advance(1000);
  EXPECT_EQ(ticks.size(), 2u);
}

TEST(FakeTimer, ATickDueWhileItsHandlerPausesIsSkipped) {
  FakeUi ui;
  MainWindow window(ui);
  window.create();
  std::vector<long long> ticks;
  window.on_event(Control::Timer1, [&] {
    ticks.push_back(ui.now());
    window.pause_with_events(250);  // outlasts the period
  });
  window.set_timer_period(100);
  ui.advance(500);
  // Ticks at 100 (runs to 350; 200 and 300 skipped), 400 (runs to 650; 500 skipped).
  EXPECT_EQ(ticks, (std::vector<long long>{100, 400}));
}

TEST(Startup, RunsInOrderAndReleasesTheCookieJar) {
  platform::set_local_code_page(platform::kUtf8CodePage);
  FakeUi ui;
  ProcessState state;
  state.cookie_jar = "sid=1";

  std::atomic<bool> announced_on_worker{false};
  const std::thread::id window_thread = std::this_thread::get_id();
  std::vector<std::string> events;
  MainWindow* seen = nullptr;

  Handlers handlers;
  handlers.button1 = [&](MainWindow& window, ProcessState& s) {
    seen = &window;
    events.push_back("login with " + s.cookie_jar);
  };
  handlers.timer1 = [&](MainWindow&, ProcessState&) { events.push_back("tick"); };
  handlers.announcement = [&](MainWindow& window, ProcessState&) {
    announced_on_worker = std::this_thread::get_id() != window_thread;
    if (window.show_message(gbk("公告"), gbk("公告"), MessageStyle::yes_no) == MessageButton::yes) {
      window.open_url("http://notice.example/a");
    }
  };
  ui.answer_next(MessageButton::yes);
  ui.on_run([&] {
    EXPECT_TRUE(ui.shown());
    EXPECT_EQ(platform::local_code_page(), platform::kGbkCodePage);
    ASSERT_NE(ui.control_count(), 0);
    // The fake numbers controls from 1 in the order the form makes them.
    ui.click(static_cast<int>(Control::Button1) + 1);
    ui.click(static_cast<int>(Control::Button2) + 1);  // unbound: nothing happens
    ui.advance(60000);                                 // 时钟1 idle: no tick
  });

  EXPECT_EQ(run_program(ui, state, handlers), 0);
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"login with sid=1"}));
  EXPECT_TRUE(announced_on_worker);
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_FALSE(shown[0].on_window_thread);
  EXPECT_EQ(ui.opened_urls(), (std::vector<Text>{"http://notice.example/a"}));
  EXPECT_TRUE(state.cookie_jar.empty());
}

}  // namespace
}  // namespace quillax
