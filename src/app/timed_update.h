// The timed update: 按钮4 arms 时钟1 with the interval typed into 编辑框3 (minutes); each tick
// reloads the selected supplier's products and releases those not yet in the shop.
#pragma once

#include "app/main_window.h"

namespace quillax {

// The longest period 时钟1 takes: the largest 32-bit millisecond count (about 24.8 days).
// A longer interval is clamped to it.
inline constexpr int kMaxTimerPeriod = 2147483647;

// The timer period in milliseconds for an interval text in minutes: its leading integer times
// 60000, clamped to kMaxTimerPeriod; 0 or less leaves the timer idle.
int timed_update_period(const Text& interval_minutes);

// 按钮4. Without a login (empty cookie jar) says "请先登录再开启定时更新" and changes nothing.
// Otherwise sets 时钟1's period from 编辑框3, captions 按钮4 "已开启定时" and disables it —
// whatever the interval was. Window's thread.
void start_timed_update(MainWindow& window, ProcessState& state);

// 时钟1's tick: load_products for the selected supplier, a 10-second pause with events
// flowing, then the release walk over the rows, without a message at the end. Window's thread.
void timed_run(MainWindow& window, ProcessState& state);

}  // namespace quillax
