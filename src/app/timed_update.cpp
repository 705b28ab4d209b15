#include "app/timed_update.h"

#include "market/marketplace.h"

namespace quillax {

int timed_update_period(const Text& interval_minutes) {
  const double period = static_cast<double>(leading_integer(interval_minutes)) * 60000.0;
  // Above 35791 minutes the count would not fit 32 bits; wrapping could make it negative (the
  // timer would never fire) or tiny (it would fire constantly), so take the longest period.
  if (period > kMaxTimerPeriod) return kMaxTimerPeriod;
  if (period <= 0) return 0;
  return static_cast<int>(period);
}

void start_timed_update(MainWindow& window, ProcessState& state) {
  if (state.cookie_jar.empty()) {
    window.show_message(gbk("请先登录再开启定时更新"), gbk("失败"), MessageStyle::stop);
    return;
  }
  window.set_timer_period(timed_update_period(window.text(Control::Edit3)));
  window.set_text(Control::Button4, gbk("已开启定时"));
  window.set_enabled(Control::Button4, false);
}

void timed_run(MainWindow& window, ProcessState& state) {
  products_command(window, state);  // the selected supplier's products, as 按钮2 loads them
  window.pause_with_events(10000);
  release_rows(window, state.cookie_jar);
}

}  // namespace quillax
