// An in-memory window behind the platform::Ui seam, for headless tests of the commands: control
// texts, combo entries, list rows, item values, enabled flags and timer periods live in memory;
// message boxes are answered from a script and recorded; opened URLs are recorded; time is a
// virtual clock that pause_with_events and advance() move forward, firing due timers.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ui.h"
#include "text/text.h"

namespace quillax::testing {

// A message box as it was shown.
struct ShownMessage {
  Text text;
  Text caption;
  platform::MessageStyle style;
  bool on_window_thread;  // false when shown from a worker thread
};

class FakeUi : public platform::Ui {
 public:
  FakeUi();
  ~FakeUi() override;  // joins the worker threads

  // --- scripting and inspection (thread-safe where noted) ---

  // Queues the answer of the next message box (thread-safe). With the queue empty a yes_no box
  // is answered no and any other box ok.
  void answer_next(platform::MessageButton button);
  // Called (on the showing thread, after recording) for every message box; its result answers
  // the box and takes precedence over the queue. Empty: use the queue.
  void on_message(std::function<platform::MessageButton(const ShownMessage&)> answerer);
  // Every message box shown so far, in order (thread-safe copy).
  std::vector<ShownMessage> messages() const;
  // Every URL handed to open_url, in order (thread-safe copy).
  std::vector<Text> opened_urls() const;

  // Runs the click handler of a button / the tick handler of a timer, as the loop would.
  void click(platform::ControlId id);
  void tick(platform::ControlId id);
  // Moves the virtual clock forward, firing every timer tick that falls due, in time order. As
  // with the Qt timer, a tick that falls due while the same timer's handler is still running
  // (inside its pauses) is skipped, not nested.
  void advance(int milliseconds);
  // The virtual clock in milliseconds since creation.
  long long now() const { return now_; }

  // Called from every process_events and once per pause_with_events (before the clock moves),
  // so a test can make another event run in the middle of a command.
  void on_process_events(std::function<void()> hook);
  // Number of process_events calls; the pauses asked for, in order.
  int process_events_calls() const { return process_events_calls_; }
  const std::vector<int>& pauses() const { return pauses_; }

  // What run() does on the window's thread before it waits for the workers and returns (the
  // events of the loop: clicks, ticks, advance). Empty: run() returns at once.
  void on_run(std::function<void()> script);

  // Waits for every worker thread started so far.
  void join_threads();

  // What create_window / show_window / close_window did.
  const Text& caption() const { return caption_; }
  int outer_width() const { return outer_width_; }
  int outer_height() const { return outer_height_; }
  bool shown() const { return shown_; }
  bool closed() const { return closed_; }

  // A control's kind and rectangle; a list view's column headers and widths.
  platform::ControlKind kind(platform::ControlId id) const;
  platform::Rect rect(platform::ControlId id) const;
  std::vector<Text> column_headers(platform::ControlId list) const;
  std::vector<int> column_widths(platform::ControlId list) const;
  // Number of controls made.
  int control_count() const { return static_cast<int>(controls_.size()); }

  // --- platform::Ui ---
  void create_window(const Text& caption, int outer_width, int outer_height) override;
  platform::ControlId add_control(platform::ControlKind kind, const platform::Rect& rect,
                                  const Text& text) override;
  void add_column(platform::ControlId list, const Text& header, int width) override;
  void show_window() override;
  void run() override;
  void close_window() override;
  Text text(platform::ControlId id) const override;
  void set_text(platform::ControlId id, const Text& text) override;
  bool enabled(platform::ControlId id) const override;
  void set_enabled(platform::ControlId id, bool enabled) override;
  void set_timer_period(platform::ControlId timer, int milliseconds) override;
  int timer_period(platform::ControlId timer) const override;
  void combo_add(platform::ControlId combo, const Text& text, int value) override;
  void combo_select(platform::ControlId combo, int index) override;
  int combo_selection(platform::ControlId combo) const override;
  int combo_value(platform::ControlId combo, int index) const override;
  int combo_count(platform::ControlId combo) const override;
  Text combo_text(platform::ControlId combo, int index) const override;
  void list_clear(platform::ControlId list) override;
  int list_add_row(platform::ControlId list) override;
  Text list_cell(platform::ControlId list, int row, int column) const override;
  void list_set_cell(platform::ControlId list, int row, int column, const Text& text) override;
  int list_row_count(platform::ControlId list) const override;
  int list_value(platform::ControlId list, int row) const override;
  void list_set_value(platform::ControlId list, int row, int value) override;
  void on_event(platform::ControlId id, std::function<void()> handler) override;
  platform::MessageButton message_box(const Text& text, const Text& caption,
                                      platform::MessageStyle style) override;
  void process_events() override;
  void pause_with_events(int milliseconds) override;
  void open_url(const Text& url) override;
  void start_thread(std::function<void()> body) override;

 private:
  struct Row {
    std::vector<Text> cells;
    int value = 0;
  };
  struct Entry {
    Text text;
    int value = 0;
  };
  struct Control {
    platform::ControlKind kind;
    platform::Rect rect;
    Text text;
    bool enabled = true;
    int period = 0;
    long long next_due = 0;  // virtual time of the timer's next tick
    bool ticking = false;    // its handler is running
    std::vector<Entry> entries;
    int selection = -1;
    std::vector<Text> headers;
    std::vector<int> widths;
    std::vector<Row> rows;
    std::function<void()> handler;
  };

  Control* find(platform::ControlId id);
  const Control* find(platform::ControlId id) const;
  Row* row_at(platform::ControlId list, int row);
  const Row* row_at(platform::ControlId list, int row) const;

  std::thread::id window_thread_;
  Text caption_;
  int outer_width_ = 0;
  int outer_height_ = 0;
  bool shown_ = false;
  bool closed_ = false;
  std::map<platform::ControlId, Control> controls_;
  long long now_ = 0;
  std::function<void()> process_hook_;
  std::function<void()> run_script_;
  int process_events_calls_ = 0;
  std::vector<int> pauses_;

  mutable std::mutex mutex_;  // guards the members below (shared with worker threads)
  std::deque<platform::MessageButton> answers_;
  std::function<platform::MessageButton(const ShownMessage&)> answerer_;
  std::vector<ShownMessage> messages_;
  std::vector<Text> opened_urls_;
  std::vector<std::thread> threads_;
};

}  // namespace quillax::testing
