// The window seam: one top-level window with controls made by kind at a rectangle, a message
// box, a timer, event processing, opening a URL and a worker thread. The Qt 6 backend lives in
// platform/qt; tests use the in-memory form of tests/support. Every text crosses as GBK.
#pragma once

#include <functional>

#include "text/text.h"

namespace quillax::platform {

// Kinds of control a backend can make.
enum class ControlKind {
  label,
  edit,           // single-line edit box
  password_edit,  // single-line edit box that shows each character as "*"
  button,         // push button
  combo_box,      // drop-down list (no typing); entries with an integer item value
  list_view,      // report-style list view; rows with an integer item value
  timer,          // not shown; fires its tick handler once per period
};

// A place in the window's client area, in pixels.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Message-box styles; the values are the system style values the program was written for.
enum class MessageStyle : int {
  plain = 0,   // no icon, OK
  yes_no = 4,  // no icon, Yes and No
  stop = 16,   // stop icon, OK
};

// The button that closed a message box.
enum class MessageButton : int {
  ok = 1,
  cancel = 2,
  abort = 3,
  retry = 4,
  ignore = 5,
  yes = 6,
  no = 7,
};

// Identifies a control made by Ui::add_control; 0 is never a valid id.
using ControlId = int;

// One window and its services. Unless a method says otherwise it must be called on the thread
// that created the Ui (the window's thread). An unknown control id, or an operation that does
// not fit the control's kind, does nothing and reads as empty text / -1 / 0 / false.
class Ui {
 public:
  virtual ~Ui() = default;

  // Creates the (hidden) window with `caption`. `outer_width` × `outer_height` is the size
  // including the frame the window manager draws, if any. Called once, before any control.
  virtual void create_window(const Text& caption, int outer_width, int outer_height) = 0;

  // Makes a control of `kind` at `rect` with `text` (caption, edit text; ignored for combo box,
  // list view and timer) and returns its id. A timer starts idle.
  virtual ControlId add_control(ControlKind kind, const Rect& rect, const Text& text) = 0;

  // Appends a column with `header` and `width` pixels to a list view.
  virtual void add_column(ControlId list, const Text& header, int width) = 0;

  // Shows the window centred on the screen.
  virtual void show_window() = 0;

  // Runs the event loop until the window is closed; then answers every open worker message box
  // with cancel, waits for the worker threads to end and returns.
  virtual void run() = 0;

  // Closes the window (run() then returns).
  virtual void close_window() = 0;

  // Text of a label, edit box or button; sets it.
  virtual Text text(ControlId id) const = 0;
  virtual void set_text(ControlId id, const Text& text) = 0;

  // Enabled state of any shown control (true from creation).
  virtual bool enabled(ControlId id) const = 0;
  virtual void set_enabled(ControlId id, bool enabled) = 0;

  // Period of a timer in milliseconds; 0 or less leaves it idle. A positive period fires first
  // one full period after this call, then once per period.
  virtual void set_timer_period(ControlId timer, int milliseconds) = 0;
  virtual int timer_period(ControlId timer) const = 0;

  // Combo box: appends an entry (the selection does not change); sets the selection by 0-based
  // index (an index out of range selects nothing); the selected index (-1 for none); the item
  // value of entry `index` (-1 when out of range); the number of entries; the text of an entry.
  virtual void combo_add(ControlId combo, const Text& text, int value) = 0;
  virtual void combo_select(ControlId combo, int index) = 0;
  virtual int combo_selection(ControlId combo) const = 0;
  virtual int combo_value(ControlId combo, int index) const = 0;
  virtual int combo_count(ControlId combo) const = 0;
  virtual Text combo_text(ControlId combo, int index) const = 0;

  // List view: removes every row; appends an empty row with item value 0 and returns its index;
  // the text of a cell (empty when out of range) and setting it (out of range: nothing); the
  // number of rows; a row's item value (0 when out of range) and setting it.
  virtual void list_clear(ControlId list) = 0;
  virtual int list_add_row(ControlId list) = 0;
  virtual Text list_cell(ControlId list, int row, int column) const = 0;
  virtual void list_set_cell(ControlId list, int row, int column, const Text& text) = 0;
  virtual int list_row_count(ControlId list) const = 0;
  virtual int list_value(ControlId list, int row) const = 0;
  virtual void list_set_value(ControlId list, int row, int value) = 0;

  // The handler run on the window's thread when a button is clicked or a timer fires. Replaces
  // any earlier handler; an empty function removes it. A timer's handler is never nested: ticks
  // that fall due while it is still running (inside its pauses) are dropped.
  virtual void on_event(ControlId id, std::function<void()> handler) = 0;

  // Shows a message box with no owner window and returns the button that closed it. Any thread.
  // On the window's thread the box is application-modal and events (timer ticks included) keep
  // being handled until it is answered. On another thread the box appears on the window's
  // thread without blocking the window and only the caller waits. Returns cancel once the
  // window has closed.
  virtual MessageButton message_box(const Text& text, const Text& caption, MessageStyle style) = 0;

  // Handles the events pending now, then returns.
  virtual void process_events() = 0;

  // Returns at once for 0 or less; otherwise keeps handling events, without spinning, until
  // `milliseconds` have passed. Never returns early.
  virtual void pause_with_events(int milliseconds) = 0;

  // Opens `url` in the default browser; the outcome is not reported. Any thread. The caller has
  // checked the URL (see quillax::MainWindow::open_url).
  virtual void open_url(const Text& url) = 0;

  // Starts a worker thread running `body`; run() waits for it before it returns. Any thread.
  virtual void start_thread(std::function<void()> body) = 0;
};

}  // namespace quillax::platform
