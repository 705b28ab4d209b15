#include "app/main_window.h"

#include <utility>

#include "platform/codepage.h"

namespace quillax {

using platform::ControlKind;

Text gbk(std::string_view utf8) {
  return platform::wide_to_multibyte(platform::multibyte_to_wide(utf8, platform::kUtf8CodePage),
                                     platform::kGbkCodePage);
}

namespace {

FormSpec make_form() {
  using K = ControlKind;
  return FormSpec{
      gbk("Quillax上架助手1.2"),
      320,
      350,
      {{
          {Control::Label1, gbk("标签1"), K::label, {10, 10, 30, 20}, gbk("账号：")},
          {Control::Edit1, gbk("编辑框1"), K::edit, {40, 10, 80, 20}, {}},
          {Control::Label2, gbk("标签2"), K::label, {130, 10, 30, 20}, gbk("密码：")},
          {Control::Edit2, gbk("编辑框2"), K::password_edit, {170, 10, 80, 20}, {}},
          {Control::Button1, gbk("按钮1"), K::button, {260, 10, 40, 20}, gbk("登录")},
          {Control::Label3, gbk("标签3"), K::label, {10, 40, 30, 20}, gbk("供应：")},
          {Control::Combo1, gbk("组合框1"), K::combo_box, {40, 40, 120, 20}, {}},
          {Control::Button2, gbk("按钮2"), K::button, {170, 40, 80, 20}, gbk("获取产品")},
          {Control::Button3, gbk("按钮3"), K::button, {260, 40, 40, 20}, gbk("上架")},
          {Control::Label4, gbk("标签4"), K::label, {10, 70, 115, 20}, gbk("定时更新间隔(分钟)：")},
          {Control::Edit3, gbk("编辑框3"), K::edit, {130, 70, 30, 20}, "90"},
          {Control::Button4, gbk("按钮4"), K::button, {170, 70, 80, 20}, gbk("定时更新")},
          {Control::Button5, gbk("按钮5"), K::button, {260, 70, 40, 20}, gbk("店铺")},
          {Control::Timer1, gbk("时钟1"), K::timer, {232, 64, 26, 26}, {}},
          {Control::List1, gbk("超级列表框1"), K::list_view, {10, 100, 290, 210}, {}},
      }},
      {{{"No", 30}, {gbk("产品名称"), 200}, {gbk("状态"), 50}}},
  };
}

int index_of(Control control) { return static_cast<int>(control); }

}  // namespace

const FormSpec& main_form() {
  static const FormSpec form = make_form();
  return form;
}

const Text& control_name(Control control) {
  return main_form().controls[static_cast<std::size_t>(index_of(control))].name;
}

const Text& default_message_caption() {
  static const Text caption = gbk("信息：");
  return caption;
}

bool is_web_url(std::string_view url) {
  const auto starts_with = [url](std::string_view scheme) {
    return url.size() >= scheme.size() &&
           text::find_ignore_case(url.substr(0, scheme.size()), scheme) == 0;
  };
  return starts_with("http://") || starts_with("https://");
}

MainWindow::MainWindow(platform::Ui& ui) : ui_(ui) {}

void MainWindow::create() {
  const FormSpec& form = main_form();
  ui_.create_window(form.caption, form.outer_width, form.outer_height);
  for (const ControlSpec& entry : form.controls) {
    ids_[static_cast<std::size_t>(index_of(entry.control))] =
        ui_.add_control(entry.kind, entry.rect, entry.text);
  }
  for (const ColumnSpec& column : form.columns) {
    ui_.add_column(id(Control::List1), column.header, column.width);
  }
}

void MainWindow::show() { ui_.show_window(); }

platform::ControlId MainWindow::id(Control control) const {
  return ids_[static_cast<std::size_t>(index_of(control))];
}

void MainWindow::on_event(Control control, std::function<void()> handler) {
  ui_.on_event(id(control), std::move(handler));
}

Text MainWindow::text(Control control) const { return ui_.text(id(control)); }
void MainWindow::set_text(Control control, const Text& text) { ui_.set_text(id(control), text); }
bool MainWindow::enabled(Control control) const { return ui_.enabled(id(control)); }
void MainWindow::set_enabled(Control control, bool enabled) {
  ui_.set_enabled(id(control), enabled);
}
void MainWindow::set_timer_period(int milliseconds) {
  ui_.set_timer_period(id(Control::Timer1), milliseconds);
}
int MainWindow::timer_period() const { return ui_.timer_period(id(Control::Timer1)); }

void MainWindow::combo_add(const Text& text, int value) {
  ui_.combo_add(id(Control::Combo1), text, value);
}
void MainWindow::combo_select(int index) { ui_.combo_select(id(Control::Combo1), index); }
int MainWindow::combo_selection() const { return ui_.combo_selection(id(Control::Combo1)); }
int MainWindow::combo_value(int index) const { return ui_.combo_value(id(Control::Combo1), index); }
int MainWindow::combo_count() const { return ui_.combo_count(id(Control::Combo1)); }
Text MainWindow::combo_text(int index) const { return ui_.combo_text(id(Control::Combo1), index); }

void MainWindow::list_clear() { ui_.list_clear(id(Control::List1)); }
int MainWindow::list_add_row() { return ui_.list_add_row(id(Control::List1)); }
Text MainWindow::list_cell(int row, int column) const {
  return ui_.list_cell(id(Control::List1), row, column);
}
void MainWindow::list_set_cell(int row, int column, const Text& text) {
  ui_.list_set_cell(id(Control::List1), row, column, text);
}
int MainWindow::list_row_count() const { return ui_.list_row_count(id(Control::List1)); }
int MainWindow::list_value(int row) const { return ui_.list_value(id(Control::List1), row); }
void MainWindow::list_set_value(int row, int value) {
  ui_.list_set_value(id(Control::List1), row, value);
}

MessageButton MainWindow::show_message(const Text& text, const Text& caption, MessageStyle style) {
  return ui_.message_box(text, caption.empty() ? default_message_caption() : caption, style);
}

void MainWindow::pause_with_events(int milliseconds) {
  if (milliseconds <= 0) return;
  ui_.pause_with_events(milliseconds);
}

void MainWindow::process_events() { ui_.process_events(); }

void MainWindow::open_url(const Text& url) {
  if (is_web_url(url)) ui_.open_url(url);
}

void MainWindow::start_thread(std::function<void()> body) { ui_.start_thread(std::move(body)); }

}  // namespace quillax
