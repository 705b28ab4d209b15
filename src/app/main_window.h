// The main window as the commands see it: the form (which control stands where, with which
// caption), the control operations addressed by control name, and the window services
// show_message, pause_with_events, process_events and open_url. Built on the platform::Ui seam.
#pragma once

#include <array>
#include <functional>
#include <string_view>

#include "platform/ui.h"
#include "text/text.h"

namespace quillax {

using platform::MessageButton;
using platform::MessageStyle;

// Every control of the form, by its name on the form.
enum class Control {
  Label1,   // 标签1 "账号："
  Edit1,    // 编辑框1 account
  Label2,   // 标签2 "密码："
  Edit2,    // 编辑框2 password, shown as "*"
  Button1,  // 按钮1 "登录"
  Label3,   // 标签3 "供应："
  Combo1,   // 组合框1 suppliers
  Button2,  // 按钮2 "获取产品"
  Button3,  // 按钮3 "上架"
  Label4,   // 标签4 "定时更新间隔(分钟)："
  Edit3,    // 编辑框3 interval in minutes, "90"
  Button4,  // 按钮4 "定时更新"
  Button5,  // 按钮5 "店铺"
  Timer1,   // 时钟1
  List1,    // 超级列表框1 products
};

inline constexpr int kControlCount = static_cast<int>(Control::List1) + 1;

// One control of the form. Texts are GBK.
struct ControlSpec {
  Control control;
  Text name;  // e.g. 按钮1
  platform::ControlKind kind;
  platform::Rect rect;
  Text text;  // initial caption or edit text
};

// One column of 超级列表框1.
struct ColumnSpec {
  Text header;
  int width;
};

// The form: caption, outer size, controls in creation order, the list view's columns.
struct FormSpec {
  Text caption;
  int outer_width;
  int outer_height;
  std::array<ControlSpec, kControlCount> controls;
  std::array<ColumnSpec, 3> columns;
};

// The form of the main window (texts in GBK). Built once; thread-safe.
const FormSpec& main_form();

// The control's name on the form (GBK), e.g. 按钮1 for Control::Button1.
const Text& control_name(Control control);

// GBK text from a UTF-8 source literal: the one way this program writes Chinese literals.
Text gbk(std::string_view utf8);

// The caption show_message uses when none is given: "信息：".
const Text& default_message_caption();

// The process-wide state that lives from one command to the next. main() owns the one
// instance and hands it to the commands by reference; a test makes its own.
struct ProcessState {
  // Cookies of the logged-in shop in cookie-text form; empty before the first login.
  Text cookie_jar;
};

// The main window over a Ui backend. Control operations and pause_with_events/process_events
// run on the window's thread; show_message and open_url may also be called from the worker.
// Does not own the Ui, which must outlive it.
class MainWindow {
 public:
  explicit MainWindow(platform::Ui& ui);

  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and every control of main_form() through the seam (hidden).
  void create();
  // Shows the window centred.
  void show();

  // Binds the handler of a button click or of the timer's tick (other controls: nothing).
  void on_event(Control control, std::function<void()> handler);

  // Edit box, label or button text; sets it.
  Text text(Control control) const;
  void set_text(Control control, const Text& text);
  // Enabled state of a control; sets it.
  bool enabled(Control control) const;
  void set_enabled(Control control, bool enabled);
  // 时钟1's period in milliseconds (0 or less: idle); reads it.
  void set_timer_period(int milliseconds);
  int timer_period() const;

  // 组合框1: append an entry; select by index (out of range: nothing selected); the selected
  // index (-1 for none); the item value of an entry (-1 when out of range); entry count/text.
  void combo_add(const Text& text, int value);
  void combo_select(int index);
  int combo_selection() const;
  int combo_value(int index) const;
  int combo_count() const;
  Text combo_text(int index) const;

  // 超级列表框1: remove all rows; append a row (returns its index); cell text (empty when out of
  // range); set it; number of rows; a row's item value (0 when out of range); set it.
  void list_clear();
  int list_add_row();
  Text list_cell(int row, int column) const;
  void list_set_cell(int row, int column, const Text& text);
  int list_row_count() const;
  int list_value(int row) const;
  void list_set_value(int row, int value);

  // Shows a message box and returns the button that closed it; an empty caption shows
  // "信息：". On the window's thread it blocks the command (events keep flowing); from the
  // worker thread only the worker waits. Any thread.
  MessageButton show_message(const Text& text, const Text& caption = {},
                             MessageStyle style = MessageStyle::plain);

  // Returns at once for 0 or less; otherwise handles events until the time has passed.
  void pause_with_events(int milliseconds);

  // Handles the events pending now.
  void process_events();

  // Opens an http:// or https:// URL (scheme in any case) in the default browser and ignores
  // every other text, so a link from the network can never start a local program. Any thread.
  void open_url(const Text& url);

  // Starts a worker thread running `body`. Any thread.
  void start_thread(std::function<void()> body);

  // The id the seam gave a control (0 before create()).
  platform::ControlId id(Control control) const;

  platform::Ui& ui() { return ui_; }

 private:
  platform::Ui& ui_;
  std::array<platform::ControlId, kControlCount> ids_{};
};

// True for a URL that open_url opens: it starts with "http://" or "https://", any case.
bool is_web_url(std::string_view url);

}  // namespace quillax
