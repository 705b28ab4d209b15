// The main window over the Qt backend, headless (QT_QPA_PLATFORM=offscreen).
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "app/main_window.h"
#include "app/startup.h"
#include "platform/codepage.h"
#include "platform/qt/qt_ui.h"
#include "support/window_conformance.h"

using quillax::Control;
using quillax::gbk;
using quillax::MainWindow;
using quillax::MessageButton;
using quillax::MessageStyle;
using quillax::Text;

Q_DECLARE_METATYPE(MessageStyle)
Q_DECLARE_METATYPE(MessageButton)
Q_DECLARE_METATYPE(QMessageBox::Icon)

namespace {

QString qt_text(const Text& text) {
  const std::u16string wide = quillax::platform::multibyte_to_wide(text, 936);
  return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

// A visible message box that is not modal (a worker's), or null.
QMessageBox* worker_box() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible()) return box;
  }
  return nullptr;
}

// Repeats `step` every few milliseconds on the window's thread until it returns true.
void repeat_until(const std::function<bool()>& step) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
    if (step()) timer->deleteLater();
  });
  timer->start(5);
}

}  // namespace

class QtWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void windowHasItsCaptionSizeAndFixedFrame();
  void everyControlStandsAtItsPlaceWithItsText();
  void passwordBoxShowsAsterisks();
  void controlOperations();
  void clickRunsTheBoundHandler();
  void showMessageOnTheWindowThread_data();
  void showMessageOnTheWindowThread();
  void showMessageFromAWorkerLeavesTheWindowUsable();
  void pauseLetsTimerEventsRunAndDoesNotReturnEarly();
  void pauseOfZeroOrLessHandlesNothing();
  void idleTimerNeverFires();
  void timerHandlerIsNeverNested();
  void screenshot();
  void startupShowsTheWindowAndEndsWhenItCloses();
  void cleanupTestCase();

 private:
  QWidget* control(Control c) const {
    return top_->findChild<QWidget*>(QStringLiteral("control_%1").arg(window_->id(c)));
  }

  std::unique_ptr<quillax::platform::Ui> ui_;
  std::unique_ptr<MainWindow> window_;
  QWidget* top_ = nullptr;
  int ticks_ = 0;
};

void QtWindowTest::initTestCase() {
  static int argc = 1;
  static char name[] = "qt_window_test";
  static char* argv[] = {name, nullptr};
  ui_ = quillax::platform::make_qt_ui(argc, argv);
  window_ = std::make_unique<MainWindow>(*ui_);
  window_->create();
  window_->on_event(Control::Timer1, [this] { ++ticks_; });
  window_->show();
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String("main_window")) top_ = widget;
  }
  QVERIFY(top_ != nullptr);
  QVERIFY(QTest::qWaitForWindowExposed(top_));
}

void QtWindowTest::windowHasItsCaptionSizeAndFixedFrame() {
  QCOMPARE(top_->windowTitle(), QStringLiteral("Quillax上架助手1.2"));
  QCOMPARE(top_->frameGeometry().size(), QSize(320, 350));
  QCOMPARE(top_->minimumSize(), top_->maximumSize());
  const Qt::WindowFlags flags = top_->windowFlags();
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QVERIFY(flags & Qt::WindowMinimizeButtonHint);
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  const QSize before = top_->size();
  top_->resize(600, 600);
  QCOMPARE(top_->size(), before);
  const QPoint centre = top_->screen()->availableGeometry().center();
  QVERIFY((top_->frameGeometry().center() - centre).manhattanLength() <= 2);
}

void QtWindowTest::everyControlStandsAtItsPlaceWithItsText() {
  for (const quillax::ControlSpec& entry : quillax::main_form().controls) {
    const QString name = qt_text(entry.name);
    if (entry.kind == quillax::platform::ControlKind::timer) continue;
    QWidget* widget = control(entry.control);
    QVERIFY2(widget != nullptr, qPrintable(name));
    QCOMPARE(widget->geometry(),
             QRect(entry.rect.left, entry.rect.top, entry.rect.width, entry.rect.height));
    QVERIFY2(widget->isVisible(), qPrintable(name));
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) shown = edit->text();
    if (auto* button = qobject_cast<QPushButton*>(widget)) shown = button->text();
    QCOMPARE(shown, qt_text(entry.text));
  }
  QCOMPARE(qobject_cast<QLabel*>(control(Control::Label4))->text(),
           QStringLiteral("定时更新间隔(分钟)："));
  QCOMPARE(qobject_cast<QLineEdit*>(control(Control::Edit3))->text(), QStringLiteral("90"));

  auto* combo = qobject_cast<QComboBox*>(control(Control::Combo1));
  QVERIFY(combo != nullptr);
  QVERIFY(!combo->isEditable());

  auto* list = qobject_cast<QTableWidget*>(control(Control::List1));
  QVERIFY(list != nullptr);
  QCOMPARE(list->columnCount(), 3);
  const QStringList headers{QStringLiteral("No"), QStringLiteral("产品名称"),
                            QStringLiteral("状态")};
  const int widths[] = {30, 200, 50};
  for (int column = 0; column < 3; ++column) {
    QCOMPARE(list->horizontalHeaderItem(column)->text(), headers[column]);
    QCOMPARE(list->columnWidth(column), widths[column]);
  }
  QVERIFY(list->horizontalHeader()->isVisible());
  QVERIFY(list->horizontalHeader()->sectionsMovable());
  QVERIFY(list->showGrid());
  QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectItems);
  QCOMPARE(list->palette().color(QPalette::Base), QColor(Qt::white));

  QCOMPARE(window_->timer_period(), 0);  // 时钟1 idle until the timed update is armed
}

void QtWindowTest::passwordBoxShowsAsterisks() {
  auto* edit = qobject_cast<QLineEdit*>(control(Control::Edit2));
  QVERIFY(edit != nullptr);
  QTest::keyClicks(edit, QStringLiteral("pw1!"));
  QCOMPARE(edit->displayText(), QStringLiteral("****"));
  QCOMPARE(window_->text(Control::Edit2), Text("pw1!"));
  edit->clear();
}

void QtWindowTest::controlOperations() {
  const std::vector<std::string> failures = quillax::testing::check_control_operations(*window_);
  for (const std::string& failure : failures) qWarning("%s", failure.c_str());
  QVERIFY(failures.empty());
  // The list view keeps each row's value apart from what it shows.
  auto* list = qobject_cast<QTableWidget*>(control(Control::List1));
  QCOMPARE(list->item(0, 1)->text(), QStringLiteral("联通号卡"));
  QCOMPARE(window_->list_value(0), 42);

  // A click anywhere in a row selects the row's first cell only.
  window_->list_set_cell(0, 2, "null");
  const QRect status_cell = list->visualItemRect(list->item(0, 2));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, status_cell.center());
  QTRY_COMPARE(list->currentColumn(), 0);
  QCOMPARE(list->currentRow(), 0);
  QCOMPARE(list->selectedItems().size(), 1);
  QCOMPARE(list->selectedItems().front()->column(), 0);
}

void QtWindowTest::clickRunsTheBoundHandler() {
  int clicks = 0;
  window_->on_event(Control::Button2, [&clicks] { ++clicks; });
  auto* button = qobject_cast<QPushButton*>(control(Control::Button2));
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(clicks, 1);
  window_->set_enabled(Control::Button2, false);
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(clicks, 1);
  window_->set_enabled(Control::Button2, true);
  window_->on_event(Control::Button2, {});
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(clicks, 1);
}

void QtWindowTest::showMessageOnTheWindowThread_data() {
  QTest::addColumn<QString>("caption");
  QTest::addColumn<MessageStyle>("style");
  QTest::addColumn<QMessageBox::StandardButton>("press");
  QTest::addColumn<QString>("want_caption");
  QTest::addColumn<QMessageBox::Icon>("want_icon");
  QTest::addColumn<MessageButton>("want");

  QTest::newRow("stop with caption")
      << QStringLiteral("失败") << MessageStyle::stop << QMessageBox::Ok << QStringLiteral("失败")
      << QMessageBox::Critical << MessageButton::ok;
  QTest::newRow("plain without caption")
      << QString() << MessageStyle::plain << QMessageBox::Ok << QStringLiteral("信息：")
      << QMessageBox::NoIcon << MessageButton::ok;
  QTest::newRow("yes_no answered yes")
      << QStringLiteral("公告") << MessageStyle::yes_no << QMessageBox::Yes
      << QStringLiteral("公告") << QMessageBox::NoIcon << MessageButton::yes;
  QTest::newRow("yes_no answered no")
      << QStringLiteral("公告") << MessageStyle::yes_no << QMessageBox::No << QStringLiteral("公告")
      << QMessageBox::NoIcon << MessageButton::no;
}

void QtWindowTest::showMessageOnTheWindowThread() {
  QFETCH(QString, caption);
  QFETCH(MessageStyle, style);
  QFETCH(QMessageBox::StandardButton, press);
  QFETCH(QString, want_caption);
  QFETCH(QMessageBox::Icon, want_icon);
  QFETCH(MessageButton, want);

  // The answer waits for a timer tick: ticks must keep coming while the box is open.
  ticks_ = 0;
  window_->set_timer_period(10);
  QString seen_caption;
  QString seen_text;
  QMessageBox::Icon seen_icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons seen_buttons;
  Qt::WindowModality seen_modality = Qt::NonModal;
  repeat_until([&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || ticks_ == 0) return false;
    seen_caption = box->windowTitle();
    seen_text = box->text();
    seen_icon = box->icon();
    seen_buttons = box->standardButtons();
    seen_modality = box->windowModality();
    box->button(press)->click();
    return true;
  });
  const MessageButton got = window_->show_message(
      gbk("店铺名称：号卡小店"),
      caption.toStdString().empty() ? Text() : gbk(caption.toStdString()), style);
  window_->set_timer_period(0);

  QCOMPARE(got, want);
  QCOMPARE(seen_caption, want_caption);
  QCOMPARE(seen_text, QStringLiteral("店铺名称：号卡小店"));
  QCOMPARE(seen_icon, want_icon);
  QCOMPARE(seen_modality, Qt::ApplicationModal);
  QCOMPARE(seen_buttons, style == MessageStyle::yes_no
                             ? QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No)
                             : QMessageBox::StandardButtons(QMessageBox::Ok));
  QVERIFY(ticks_ > 0);
}

void QtWindowTest::showMessageFromAWorkerLeavesTheWindowUsable() {
  std::atomic<int> answer{0};
  std::thread worker([this, &answer] {
    answer = static_cast<int>(
        window_->show_message(gbk("新版本发布"), gbk("公告"), MessageStyle::yes_no));
  });
  QTRY_VERIFY(worker_box() != nullptr);
  QMessageBox* box = worker_box();
  QCOMPARE(box->windowTitle(), QStringLiteral("公告"));
  QCOMPARE(box->text(), QStringLiteral("新版本发布"));
  QVERIFY(QApplication::activeModalWidget() == nullptr);

  // The window still takes clicks while the worker waits.
  int clicks = 0;
  window_->on_event(Control::Button5, [&clicks] { ++clicks; });
  QTest::mouseClick(control(Control::Button5), Qt::LeftButton);
  QCOMPARE(clicks, 1);
  QCOMPARE(answer.load(), 0);

  box->button(QMessageBox::No)->click();
  worker.join();
  QCOMPARE(static_cast<MessageButton>(answer.load()), MessageButton::no);
  window_->on_event(Control::Button5, {});
}

void QtWindowTest::pauseLetsTimerEventsRunAndDoesNotReturnEarly() {
  ticks_ = 0;
  window_->set_timer_period(10);
  QElapsedTimer clock;
  clock.start();
  window_->pause_with_events(150);
  const qint64 elapsed = clock.elapsed();
  window_->set_timer_period(0);
  QVERIFY2(elapsed >= 150, qPrintable(QString::number(elapsed)));
  QVERIFY(ticks_ > 0);
}

void QtWindowTest::pauseOfZeroOrLessHandlesNothing() {
  bool ran = false;
  QTimer::singleShot(0, qApp, [&ran] { ran = true; });
  window_->pause_with_events(0);
  window_->pause_with_events(-20);
  QVERIFY(!ran);
  window_->process_events();
  QVERIFY(ran);
}

void QtWindowTest::idleTimerNeverFires() {
  ticks_ = 0;
  window_->set_timer_period(0);
  window_->pause_with_events(60);
  window_->set_timer_period(5);
  window_->set_timer_period(-1);
  QCOMPARE(window_->timer_period(), 0);
  window_->pause_with_events(60);
  QCOMPARE(ticks_, 0);
}

void QtWindowTest::timerHandlerIsNeverNested() {
  int depth = 0;
  int deepest = 0;
  int runs = 0;
  window_->on_event(Control::Timer1, [&] {
    ++runs;
    deepest = std::max(deepest, ++depth);
    window_->pause_with_events(50);  // outlasts the period
    --depth;
  });
  window_->set_timer_period(10);
  window_->pause_with_events(200);
  window_->set_timer_period(0);
  window_->on_event(Control::Timer1, [this] { ++ticks_; });
  QVERIFY(runs > 0);
  QCOMPARE(deepest, 1);
}

void QtWindowTest::screenshot() {
  window_->list_clear();
  const char* const names[] = {"移动 138 靓号卡 39元套餐", "联通 大王卡 19元", "电信 星卡 29元",
                               "广电 192 号卡"};
  const char* const states[] = {"null", "已上架", "null", "12345"};
  for (int i = 0; i < 4; ++i) {
    const int row = window_->list_add_row();
    window_->list_set_cell(row, 0, std::to_string(i + 1));
    window_->list_set_cell(row, 1, gbk(names[i]));
    window_->list_set_cell(row, 2, gbk(states[i]));
    window_->list_set_value(row, 1000 + i);
  }
  window_->set_text(Control::Edit1, "shop001");
  window_->combo_select(0);
  QVERIFY2(!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty(),
           "no font for Simplified Chinese is installed (scripts/bootstrap installs one)");

  const QString path = QStringLiteral(QUILLAX_SCREENSHOT_DIR "/main_window.png");
  QDir().mkpath(QStringLiteral(QUILLAX_SCREENSHOT_DIR));
  const QPixmap shot = top_->grab();
  QVERIFY(!shot.isNull());
  QVERIFY2(shot.save(path, "PNG"), qPrintable(path));
  qInfo("screenshot: %s", qPrintable(path));
}

void QtWindowTest::startupShowsTheWindowAndEndsWhenItCloses() {
  static int argc = 1;
  static char name[] = "quillax";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<quillax::platform::Ui> ui = quillax::platform::make_qt_ui(argc, argv);
  quillax::ProcessState state;
  state.cookie_jar = "sid=abc";

  // The announcement is still waiting for its answer when the window closes.
  std::atomic<int> announcement_answer{0};
  quillax::Handlers handlers;
  handlers.announcement = [&announcement_answer](MainWindow& window, quillax::ProcessState&) {
    announcement_answer =
        static_cast<int>(window.show_message(gbk("公告"), gbk("公告"), MessageStyle::yes_no));
  };
  bool was_shown = false;
  repeat_until([&] {
    QWidget* main = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == QLatin1String("main_window") && widget != top_) main = widget;
    }
    if (main == nullptr || !main->isVisible() || worker_box() == nullptr) return false;
    was_shown = true;
    main->close();
    return true;
  });

  QCOMPARE(quillax::run_program(*ui, state, handlers), 0);
  QVERIFY(was_shown);
  QCOMPARE(static_cast<MessageButton>(announcement_answer.load()), MessageButton::cancel);
  QVERIFY(state.cookie_jar.empty());
  QVERIFY(worker_box() == nullptr);
  ui.reset();
  QVERIFY(top_->isVisible());  // the other window is untouched
}

void QtWindowTest::cleanupTestCase() {
  window_.reset();
  ui_.reset();
}

QTEST_MAIN(QtWindowTest)
#include "qt_window_test.moc"
