#include "support/fake_ui.h"

#include <limits>
#include <utility>

namespace quillax::testing {

using platform::ControlId;
using platform::ControlKind;
using platform::MessageButton;
using platform::MessageStyle;

FakeUi::FakeUi() : window_thread_(std::this_thread::get_id()) {}

FakeUi::~FakeUi() { join_threads(); }

void FakeUi::answer_next(MessageButton button) {
  std::lock_guard lock(mutex_);
  answers_.push_back(button);
}

void FakeUi::on_message(std::function<MessageButton(const ShownMessage&)> answerer) {
  std::lock_guard lock(mutex_);
  answerer_ = std::move(answerer);
}

std::vector<ShownMessage> FakeUi::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<Text> FakeUi::opened_urls() const {
  std::lock_guard lock(mutex_);
  return opened_urls_;
}

void FakeUi::click(ControlId id) {
  const Control* control = find(id);
  if (control == nullptr || control->kind != ControlKind::button || !control->enabled) return;
  if (auto handler = control->handler) handler();  // a copy: the handler may rebind itself
}

void FakeUi::tick(ControlId id) {
  const Control* control = find(id);
  if (control == nullptr || control->kind != ControlKind::timer) return;
  if (auto handler = control->handler) handler();
}

void FakeUi::advance(int milliseconds) {
  const long long end = now_ + (milliseconds > 0 ? milliseconds : 0);
  for (;;) {
    // The earliest tick due by `end`; ties go to the lower id.
    Control* next = nullptr;
    ControlId next_id = 0;
    for (auto& [id, control] : controls_) {
      if (control.kind == ControlKind::timer && control.period > 0 && control.next_due <= end &&
          (next == nullptr || control.next_due < next->next_due)) {
        next = &control;
        next_id = id;
      }
    }
    if (next == nullptr) break;
    if (next->next_due > now_) now_ = next->next_due;
    next->next_due += next->period;
    if (next->ticking) continue;
    next->ticking = true;
    tick(next_id);  // may itself pause and so move the clock on
    if (Control* after = find(next_id)) after->ticking = false;
  }
  if (end > now_) now_ = end;
}

void FakeUi::on_process_events(std::function<void()> hook) { process_hook_ = std::move(hook); }

void FakeUi::join_threads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(threads_);
  }
  for (std::thread& thread : threads) thread.join();
}

ControlKind FakeUi::kind(ControlId id) const {
  const Control* control = find(id);
  return control != nullptr ? control->kind : ControlKind::label;
}

platform::Rect FakeUi::rect(ControlId id) const {
  const Control* control = find(id);
  return control != nullptr ? control->rect : platform::Rect{};
}

std::vector<Text> FakeUi::column_headers(ControlId list) const {
  const Control* control = find(list);
  return control != nullptr ? control->headers : std::vector<Text>{};
}

std::vector<int> FakeUi::column_widths(ControlId list) const {
  const Control* control = find(list);
  return control != nullptr ? control->widths : std::vector<int>{};
}

void FakeUi::create_window(const Text& caption, int outer_width, int outer_height) {
  caption_ = caption;
  outer_width_ = outer_width;
  outer_height_ = outer_height;
}

ControlId FakeUi::add_control(ControlKind kind, const platform::Rect& rect, const Text& text) {
  const ControlId id = static_cast<ControlId>(controls_.size()) + 1;
  Control control{};
  control.kind = kind;
  control.rect = rect;
  if (kind != ControlKind::combo_box && kind != ControlKind::list_view &&
      kind != ControlKind::timer) {
    control.text = text;
  }
  controls_.emplace(id, std::move(control));
  return id;
}

void FakeUi::add_column(ControlId list, const Text& header, int width) {
  Control* control = find(list);
  if (control == nullptr || control->kind != ControlKind::list_view) return;
  control->headers.push_back(header);
  control->widths.push_back(width);
  for (Row& row : control->rows) row.cells.resize(control->headers.size());
}

void FakeUi::show_window() { shown_ = true; }

void FakeUi::on_run(std::function<void()> script) { run_script_ = std::move(script); }

void FakeUi::run() {
  if (auto script = run_script_) script();
  join_threads();
  closed_ = true;
}

void FakeUi::close_window() { closed_ = true; }

Text FakeUi::text(ControlId id) const {
  const Control* control = find(id);
  return control != nullptr ? control->text : Text{};
}

void FakeUi::set_text(ControlId id, const Text& text) {
  Control* control = find(id);
  if (control == nullptr || control->kind == ControlKind::combo_box ||
      control->kind == ControlKind::list_view || control->kind == ControlKind::timer) {
    return;
  }
  control->text = text;
}

bool FakeUi::enabled(ControlId id) const {
  const Control* control = find(id);
  return control != nullptr && control->enabled;
}

void FakeUi::set_enabled(ControlId id, bool enabled) {
  if (Control* control = find(id)) control->enabled = enabled;
}

void FakeUi::set_timer_period(ControlId timer, int milliseconds) {
  Control* control = find(timer);
  if (control == nullptr || control->kind != ControlKind::timer) return;
  control->period = milliseconds > 0 ? milliseconds : 0;
  control->next_due =
      control->period > 0 ? now_ + control->period : std::numeric_limits<long long>::max();
}

int FakeUi::timer_period(ControlId timer) const {
  const Control* control = find(timer);
  return control != nullptr && control->kind == ControlKind::timer ? control->period : 0;
}

void FakeUi::combo_add(ControlId combo, const Text& text, int value) {
  Control* control = find(combo);
  if (control == nullptr || control->kind != ControlKind::combo_box) return;
  control->entries.push_back({text, value});
}

void FakeUi::combo_select(ControlId combo, int index) {
  Control* control = find(combo);
  if (control == nullptr || control->kind != ControlKind::combo_box) return;
  const bool in_range = index >= 0 && index < static_cast<int>(control->entries.size());
  control->selection = in_range ? index : -1;
}

int FakeUi::combo_selection(ControlId combo) const {
  const Control* control = find(combo);
  return control != nullptr && control->kind == ControlKind::combo_box ? control->selection : -1;
}

int FakeUi::combo_value(ControlId combo, int index) const {
  const Control* control = find(combo);
  if (control == nullptr || index < 0 || index >= static_cast<int>(control->entries.size())) {
    return -1;
  }
  return control->entries[static_cast<std::size_t>(index)].value;
}

int FakeUi::combo_count(ControlId combo) const {
  const Control* control = find(combo);
  return control != nullptr ? static_cast<int>(control->entries.size()) : 0;
}

Text FakeUi::combo_text(ControlId combo, int index) const {
  const Control* control = find(combo);
  if (control == nullptr || index < 0 || index >= static_cast<int>(control->entries.size())) {
    return {};
  }
  return control->entries[static_cast<std::size_t>(index)].text;
}

void FakeUi::list_clear(ControlId list) {
  Control* control = find(list);
  if (control != nullptr) control->rows.clear();
}

int FakeUi::list_add_row(ControlId list) {
  Control* control = find(list);
  if (control == nullptr || control->kind != ControlKind::list_view) return -1;
  control->rows.push_back({std::vector<Text>(control->headers.size()), 0});
  return static_cast<int>(control->rows.size()) - 1;
}

Text FakeUi::list_cell(ControlId list, int row, int column) const {
  const Row* r = row_at(list, row);
  if (r == nullptr || column < 0 || column >= static_cast<int>(r->cells.size())) return {};
  return r->cells[static_cast<std::size_t>(column)];
}

void FakeUi::list_set_cell(ControlId list, int row, int column, const Text& text) {
  Row* r = row_at(list, row);
  if (r == nullptr || column < 0 || column >= static_cast<int>(r->cells.size())) return;
  r->cells[static_cast<std::size_t>(column)] = text;
}

int FakeUi::list_row_count(ControlId list) const {
  const Control* control = find(list);
  return control != nullptr ? static_cast<int>(control->rows.size()) : 0;
}

int FakeUi::list_value(ControlId list, int row) const {
  const Row* r = row_at(list, row);
  return r != nullptr ? r->value : 0;
}

void FakeUi::list_set_value(ControlId list, int row, int value) {
  if (Row* r = row_at(list, row)) r->value = value;
}

void FakeUi::on_event(ControlId id, std::function<void()> handler) {
  if (Control* control = find(id)) control->handler = std::move(handler);
}

MessageButton FakeUi::message_box(const Text& text, const Text& caption, MessageStyle style) {
  ShownMessage shown{text, caption, style, std::this_thread::get_id() == window_thread_};
  std::function<MessageButton(const ShownMessage&)> answerer;
  MessageButton answer = style == MessageStyle::yes_no ? MessageButton::no : MessageButton::ok;
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(shown);
    answerer = answerer_;
    if (!answerer && !answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
  }
  return answerer ? answerer(shown) : answer;
}

void FakeUi::process_events() {
  ++process_events_calls_;
  if (auto hook = process_hook_) hook();
}

void FakeUi::pause_with_events(int milliseconds) {
  pauses_.push_back(milliseconds);
  if (milliseconds <= 0) return;
  if (auto hook = process_hook_) hook();
  advance(milliseconds);
}

void FakeUi::open_url(const Text& url) {
  std::lock_guard lock(mutex_);
  opened_urls_.push_back(url);
}

void FakeUi::start_thread(std::function<void()> body) {
  std::lock_guard lock(mutex_);
  threads_.emplace_back(std::move(body));
}

FakeUi::Control* FakeUi::find(ControlId id) {
  auto it = controls_.find(id);
  return it != controls_.end() ? &it->second : nullptr;
}

const FakeUi::Control* FakeUi::find(ControlId id) const {
  auto it = controls_.find(id);
  return it != controls_.end() ? &it->second : nullptr;
}

FakeUi::Row* FakeUi::row_at(ControlId list, int row) {
  Control* control = find(list);
  if (control == nullptr || row < 0 || row >= static_cast<int>(control->rows.size())) {
    return nullptr;
  }
  return &control->rows[static_cast<std::size_t>(row)];
}

const FakeUi::Row* FakeUi::row_at(ControlId list, int row) const {
  const Control* control = find(list);
  if (control == nullptr || row < 0 || row >= static_cast<int>(control->rows.size())) {
    return nullptr;
  }
  return &control->rows[static_cast<std::size_t>(row)];
}

}  // namespace quillax::testing
