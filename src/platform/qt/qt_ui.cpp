// The window seam over Qt 6 Widgets. Texts arrive as local (GBK) text and are converted at this
// boundary only.
#include "platform/qt/qt_ui.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <signal.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "platform/codepage.h"

namespace quillax::platform {
namespace {

// A termination request (SIGTERM, SIGINT, SIGHUP: a session ending, Ctrl-C) closes the window
// as the user would, so the program ends cleanly through its usual path. The handler only
// writes a byte to a socket pair that the running loop watches.
int g_terminate_fds[2] = {-1, -1};

extern "C" void on_terminate_signal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_terminate_fds[1], &byte, 1);
}

// Installs the handlers once per process and lets the signals through; false when the socket
// pair cannot be made (the signals then keep their default action).
bool watch_terminate_signals() {
  static const bool installed = [] {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_terminate_fds) !=
        0) {
      return false;
    }
    struct sigaction action {};
    action.sa_handler = on_terminate_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t handled;
    sigemptyset(&handled);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
      ::sigaction(signal, &action, nullptr);
      sigaddset(&handled, signal);
    }
    ::pthread_sigmask(SIG_UNBLOCK, &handled, nullptr);
    return true;
  }();
  return installed;
}

QString to_qt(const Text& text) {
  const std::u16string wide = multibyte_to_wide(text, local_code_page());
  return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

Text from_qt(const QString& text) {
  return wide_to_multibyte(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                               static_cast<std::size_t>(text.size())),
                           local_code_page());
}

QMessageBox::Icon icon_of(MessageStyle style) {
  return style == MessageStyle::stop ? QMessageBox::Critical : QMessageBox::NoIcon;
}

QMessageBox::StandardButtons buttons_of(MessageStyle style) {
  return style == MessageStyle::yes_no ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
}

// The button that closed a box; a box closed otherwise (Esc, the close box, the loop ending)
// reads as its "no" or, for a box with only OK, as OK, as the system box answers.
MessageButton button_of(int result, MessageStyle style) {
  switch (result) {
    case QMessageBox::Ok:
      return MessageButton::ok;
    case QMessageBox::Yes:
      return MessageButton::yes;
    case QMessageBox::No:
      return MessageButton::no;
    default:
      return style == MessageStyle::yes_no ? MessageButton::no : MessageButton::ok;
  }
}

QMessageBox* make_box(const Text& text, const Text& caption, MessageStyle style) {
  auto* box = new QMessageBox(icon_of(style), to_qt(caption), to_qt(text), buttons_of(style));
  box->setAttribute(Qt::WA_QuitOnClose, false);
  return box;
}

// A message box asked for by a worker thread: answered on the window's thread, or with
// cancel when the window closes first.
struct PendingAnswer {
  std::promise<MessageButton> promise;
  bool answered = false;  // guarded by QtUi::mutex_
};

class QtUi;

// Watches the main window: keeps its outer size once the frame is known, and ends the loop
// when it closes (a worker's open message box must not keep the program running).
class WindowWatcher : public QObject {
 public:
  explicit WindowWatcher(QtUi& ui) : ui_(ui) {}
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  QtUi& ui_;
};

class QtUi final : public Ui {
 public:
  QtUi(int& argc, char** argv) {
    if (QApplication::instance() == nullptr) {
      own_app_ = std::make_unique<QApplication>(argc, argv);
    }
    QApplication::setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    context_ = std::make_unique<QObject>();
    watch_terminate_signals();
    window_thread_ = std::this_thread::get_id();
  }

  ~QtUi() override {
    shut_down();
    window_.reset();
    own_app_.reset();
  }

  void create_window(const Text& caption, int outer_width, int outer_height) override {
    outer_ = QSize(outer_width, outer_height);
    window_ = std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                     Qt::WindowCloseButtonHint);
    window_->setObjectName(QStringLiteral("main_window"));
    window_->setWindowTitle(to_qt(caption));
    window_->setFixedSize(outer_);  // until the frame is known
    watcher_ = std::make_unique<WindowWatcher>(*this);
    window_->installEventFilter(watcher_.get());
  }

  ControlId add_control(ControlKind kind, const Rect& rect, const Text& text) override {
    if (!window_) return 0;
    Entry entry{kind, nullptr, nullptr, {}};
    const QRect place(rect.left, rect.top, rect.width, rect.height);
    const ControlId id = static_cast<ControlId>(controls_.size()) + 1;
    switch (kind) {
      case ControlKind::label:
        entry.widget = new QLabel(to_qt(text), window_.get());
        break;
      case ControlKind::edit:
      case ControlKind::password_edit: {
        auto* edit = new QLineEdit(to_qt(text), window_.get());
        if (kind == ControlKind::password_edit) {
          edit->setEchoMode(QLineEdit::Password);
          // An asterisk for each character, not the style's bullet.
          edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
        }
        entry.widget = edit;
        break;
      }
      case ControlKind::button: {
        auto* button = new QPushButton(to_qt(text), window_.get());
        QObject::connect(button, &QPushButton::clicked, button, [this, id] { fire(id); });
        entry.widget = button;
        break;
      }
      case ControlKind::combo_box: {
        auto* combo = new QComboBox(window_.get());
        combo->setEditable(false);
        // The dropped list reaches about 160 pixels below the box's top.
        const int row = std::max(1, combo->fontMetrics().height() + 4);
        combo->setMaxVisibleItems(std::max(1, (160 - rect.height) / row));
        entry.widget = combo;
        break;
      }
      case ControlKind::list_view:
        entry.widget = make_list();
        break;
      case ControlKind::timer: {
        entry.timer = new QTimer(window_.get());
        entry.timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(entry.timer, &QTimer::timeout, entry.timer, [this, id] { fire(id); });
        break;
      }
    }
    if (entry.widget != nullptr) {
      entry.widget->setGeometry(place);
      entry.widget->setObjectName(QStringLiteral("control_%1").arg(id));
    }
    controls_.emplace(id, std::move(entry));
    return id;
  }

  void add_column(ControlId list, const Text& header, int width) override {
    QTableWidget* table = table_of(list);
    if (table == nullptr) return;
    const int column = table->columnCount();
    table->setColumnCount(column + 1);
    table->setHorizontalHeaderItem(column, new QTableWidgetItem(to_qt(header)));
    table->setColumnWidth(column, width);
  }

  void show_window() override {
    if (!window_) return;
    centre();
    window_->show();
  }

  void run() override {
    if (window_ && window_->isVisible() && !window_closed_) {
      std::unique_ptr<QSocketNotifier> terminate;
      if (watch_terminate_signals()) {
        terminate = std::make_unique<QSocketNotifier>(g_terminate_fds[0], QSocketNotifier::Read);
        QObject::connect(terminate.get(), &QSocketNotifier::activated, terminate.get(), [this] {
          char bytes[16];
          while (::read(g_terminate_fds[0], bytes, sizeof bytes) > 0) {
          }
          close_window();
        });
      }
      QApplication::exec();
    }
    shut_down();
  }

  void close_window() override {
    if (window_) window_->close();
  }

  Text text(ControlId id) const override {
    const QWidget* widget = widget_of(id);
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return from_qt(label->text());
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return from_qt(edit->text());
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
      return from_qt(button->text());
    }
    return {};
  }

  void set_text(ControlId id, const Text& text) override {
    QWidget* widget = widget_of(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(to_qt(text));
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setText(to_qt(text));
    if (auto* button = qobject_cast<QPushButton*>(widget)) button->setText(to_qt(text));
  }

  bool enabled(ControlId id) const override {
    auto it = controls_.find(id);
    if (it == controls_.end()) return false;
    return it->second.widget == nullptr || it->second.widget->isEnabled();
  }

  void set_enabled(ControlId id, bool enabled) override {
    if (QWidget* widget = widget_of(id)) widget->setEnabled(enabled);
  }

  void set_timer_period(ControlId timer, int milliseconds) override {
    QTimer* qtimer = timer_of(timer);
    if (qtimer == nullptr) return;
    if (milliseconds <= 0) {
      qtimer->stop();
      qtimer->setInterval(0);
    } else {
      qtimer->start(milliseconds);  // first tick one full period from now
    }
  }

  int timer_period(ControlId timer) const override {
    const QTimer* qtimer = timer_of(timer);
    return qtimer != nullptr && qtimer->isActive() ? qtimer->interval() : 0;
  }

  void combo_add(ControlId combo, const Text& text, int value) override {
    QComboBox* box = combo_of(combo);
    if (box == nullptr) return;
    const int selection = box->currentIndex();
    box->addItem(to_qt(text), value);
    box->setCurrentIndex(selection);  // appending to an empty box selects nothing
  }

  void combo_select(ControlId combo, int index) override {
    QComboBox* box = combo_of(combo);
    if (box == nullptr) return;
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
  }

  int combo_selection(ControlId combo) const override {
    const QComboBox* box = combo_of(combo);
    return box != nullptr ? box->currentIndex() : -1;
  }

  int combo_value(ControlId combo, int index) const override {
    const QComboBox* box = combo_of(combo);
    if (box == nullptr || index < 0 || index >= box->count()) return -1;
    return box->itemData(index).toInt();
  }

  int combo_count(ControlId combo) const override {
    const QComboBox* box = combo_of(combo);
    return box != nullptr ? box->count() : 0;
  }

  Text combo_text(ControlId combo, int index) const override {
    const QComboBox* box = combo_of(combo);
    if (box == nullptr || index < 0 || index >= box->count()) return {};
    return from_qt(box->itemText(index));
  }

  void list_clear(ControlId list) override {
    if (QTableWidget* table = table_of(list)) table->setRowCount(0);
  }

  int list_add_row(ControlId list) override {
    QTableWidget* table = table_of(list);
    if (table == nullptr) return -1;
    const int row = table->rowCount();
    table->insertRow(row);
    // The item value rides on the (hidden) row header item.
    auto* header = new QTableWidgetItem();
    header->setData(Qt::UserRole, 0);
    table->setVerticalHeaderItem(row, header);
    for (int column = 0; column < table->columnCount(); ++column) {
      table->setItem(row, column, new QTableWidgetItem());
    }
    return row;
  }

  Text list_cell(ControlId list, int row, int column) const override {
    const QTableWidget* table = table_of(list);
    if (table == nullptr) return {};
    const QTableWidgetItem* item = table->item(row, column);
    return item != nullptr ? from_qt(item->text()) : Text{};
  }

  void list_set_cell(ControlId list, int row, int column, const Text& text) override {
    QTableWidget* table = table_of(list);
    if (table == nullptr || row < 0 || row >= table->rowCount() || column < 0 ||
        column >= table->columnCount()) {
      return;
    }
    if (QTableWidgetItem* item = table->item(row, column)) {
      item->setText(to_qt(text));
    } else {
      table->setItem(row, column, new QTableWidgetItem(to_qt(text)));
    }
  }

  int list_row_count(ControlId list) const override {
    const QTableWidget* table = table_of(list);
    return table != nullptr ? table->rowCount() : 0;
  }

  int list_value(ControlId list, int row) const override {
    const QTableWidget* table = table_of(list);
    if (table == nullptr || row < 0 || row >= table->rowCount()) return 0;
    const QTableWidgetItem* header = table->verticalHeaderItem(row);
    return header != nullptr ? header->data(Qt::UserRole).toInt() : 0;
  }

  void list_set_value(ControlId list, int row, int value) override {
    QTableWidget* table = table_of(list);
    if (table == nullptr || row < 0 || row >= table->rowCount()) return;
    if (QTableWidgetItem* header = table->verticalHeaderItem(row)) {
      header->setData(Qt::UserRole, value);
    }
  }

  void on_event(ControlId id, std::function<void()> handler) override {
    auto it = controls_.find(id);
    if (it != controls_.end()) it->second.handler = std::move(handler);
  }

  MessageButton message_box(const Text& text, const Text& caption, MessageStyle style) override {
    if (std::this_thread::get_id() == window_thread_) {
      // Application-modal; exec() keeps handling events, timer ticks included.
      std::unique_ptr<QMessageBox> box(make_box(text, caption, style));
      box->setWindowModality(Qt::ApplicationModal);
      return button_of(box->exec(), style);
    }
    auto pending = std::make_shared<PendingAnswer>();
    std::future<MessageButton> answer = pending->promise.get_future();
    {
      std::lock_guard lock(mutex_);
      if (shut_down_ || !context_) return MessageButton::cancel;
      pending_.push_back(pending);
    }
    QMetaObject::invokeMethod(
        context_.get(),
        [this, pending, text, caption, style] { show_for_worker(pending, text, caption, style); },
        Qt::QueuedConnection);
    return answer.get();
  }

  void process_events() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }

  void pause_with_events(int milliseconds) override {
    if (milliseconds <= 0) return;
    QElapsedTimer clock;
    clock.start();
    // A nested loop woken by a timer: no spinning. Looping again covers a wake-up before time.
    for (;;) {
      const qint64 left = milliseconds - clock.elapsed();
      if (left <= 0 || window_closed_) break;
      QEventLoop loop;
      QTimer::singleShot(std::chrono::milliseconds(left), Qt::PreciseTimer, &loop,
                         &QEventLoop::quit);
      loop.exec();
    }
  }

  void open_url(const Text& url) override {
    const QUrl target(to_qt(url));
    if (!target.isValid()) return;
    if (std::this_thread::get_id() == window_thread_) {
      QDesktopServices::openUrl(target);
      return;
    }
    std::lock_guard lock(mutex_);
    if (shut_down_ || !context_) return;
    QMetaObject::invokeMethod(
        context_.get(), [target] { QDesktopServices::openUrl(target); }, Qt::QueuedConnection);
  }

  void start_thread(std::function<void()> body) override {
    std::lock_guard lock(mutex_);
    threads_.emplace_back(std::move(body));
  }

  // Called by the watcher.
  void window_event(QEvent::Type type) {
    if (type == QEvent::Close) {
      window_closed_ = true;
      // exit(), not quit(): quit() would first close every other window, answering the
      // worker's open box as if the user had.
      QTimer::singleShot(0, context_.get(), [] { QCoreApplication::exit(0); });
    } else if (type == QEvent::Show || type == QEvent::Move) {
      keep_outer_size();
    }
  }

 private:
  struct Entry {
    ControlKind kind;
    QWidget* widget;  // owned by the window
    QTimer* timer;    // owned by the window
    std::function<void()> handler;
  };

  QWidget* make_list() {
    auto* table = new QTableWidget(0, 0, window_.get());
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setSectionsMovable(true);
    table->horizontalHeader()->setSectionsClickable(true);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->horizontalHeader()->setHighlightSections(false);
    table->setShowGrid(true);
    table->setWordWrap(false);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // No full-row selection: choosing a row highlights its first cell only (set once the click
    // that chose the cell has been handled).
    QObject::connect(table, &QTableWidget::currentCellChanged, table, [table](int row, int column) {
      if (row < 0 || column == 0) return;
      QTimer::singleShot(0, table, [table, row] {
        if (row < table->rowCount()) {
          table->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect);
        }
      });
    });
    QPalette palette = table->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    table->setPalette(palette);
    return table;
  }

  // Runs a button's or timer's handler; a copy, since the handler may rebind its event.
  void fire(ControlId id) {
    auto it = controls_.find(id);
    if (it == controls_.end()) return;
    if (std::function<void()> handler = it->second.handler) handler();
  }

  void show_for_worker(const std::shared_ptr<PendingAnswer>& pending, const Text& text,
                       const Text& caption, MessageStyle style) {
    {
      std::lock_guard lock(mutex_);
      if (pending->answered) return;
    }
    QMessageBox* box = make_box(text, caption, style);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    worker_boxes_.push_back(box);
    QObject::connect(box, &QMessageBox::finished, box, [this, pending, style](int result) {
      answer(pending, button_of(result, style));
    });
    box->show();
  }

  void answer(const std::shared_ptr<PendingAnswer>& pending, MessageButton button) {
    std::lock_guard lock(mutex_);
    if (pending->answered) return;
    pending->answered = true;
    pending->promise.set_value(button);
    std::erase(pending_, pending);
  }

  // Ends the worker side: open worker boxes are answered with cancel and closed, later ones
  // answer cancel at once, and the worker threads are waited for.
  void shut_down() {
    std::vector<std::thread> threads;
    {
      std::lock_guard lock(mutex_);
      shut_down_ = true;
      for (const auto& pending : pending_) {
        if (!pending->answered) {
          pending->answered = true;
          pending->promise.set_value(MessageButton::cancel);
        }
      }
      pending_.clear();
      threads.swap(threads_);
    }
    for (const QPointer<QMessageBox>& box : worker_boxes_) delete box.data();
    worker_boxes_.clear();
    for (std::thread& thread : threads) thread.join();
  }

  void centre() {
    const QScreen* screen = window_->screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    window_->move(area.center() - QPoint(outer_.width() / 2, outer_.height() / 2));
  }

  // Where the window manager draws a frame, the client area shrinks by it so the outer size
  // stays as asked.
  void keep_outer_size() {
    const QSize frame = window_->frameGeometry().size() - window_->geometry().size();
    const QSize client = outer_ - frame;
    if (client != window_->size() && client.isValid()) {
      window_->setFixedSize(client);
      centre();
    }
  }

  QWidget* widget_of(ControlId id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.widget : nullptr;
  }
  QTimer* timer_of(ControlId id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second.timer : nullptr;
  }
  QComboBox* combo_of(ControlId id) const { return qobject_cast<QComboBox*>(widget_of(id)); }
  QTableWidget* table_of(ControlId id) const { return qobject_cast<QTableWidget*>(widget_of(id)); }

  std::unique_ptr<QApplication> own_app_;
  std::unique_ptr<QObject> context_;  // receives the worker's calls on the window's thread
  std::unique_ptr<WindowWatcher> watcher_;
  std::unique_ptr<QWidget> window_;
  QSize outer_;
  std::map<ControlId, Entry> controls_;
  std::thread::id window_thread_;
  bool window_closed_ = false;
  std::vector<QPointer<QMessageBox>> worker_boxes_;

  std::mutex mutex_;  // guards the members below, shared with worker threads
  bool shut_down_ = false;
  std::vector<std::shared_ptr<PendingAnswer>> pending_;
  std::vector<std::thread> threads_;
};

bool WindowWatcher::eventFilter(QObject* object, QEvent* event) {
  ui_.window_event(event->type());
  return QObject::eventFilter(object, event);
}

}  // namespace

std::unique_ptr<Ui> make_qt_ui(int& argc, char** argv) {
  return std::make_unique<QtUi>(argc, argv);
}

}  // namespace quillax::platform
