// The real Qt window, headless, driven through login, products and release against the demo
// marketplace started in this process.
#include <cstdlib>
#include <memory>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "app/main_window.h"
#include "app/program_handlers.h"
#include "demo_market/demo_market.h"
#include "platform/codepage.h"
#include "platform/qt/qt_ui.h"

using quillax::Control;
using quillax::MainWindow;

namespace {

struct SeenBox {
  QString caption;
  QString text;
};

}  // namespace

class QtMarketTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void loginProductsAndRelease();
  void cleanupTestCase();

 private:
  template <typename T>
  T* control(Control c) const {
    return top_->findChild<T*>(QStringLiteral("control_%1").arg(window_->id(c)));
  }
  QStringList column(int column) const {
    auto* list = control<QTableWidget>(Control::List1);
    QStringList out;
    for (int row = 0; row < list->rowCount(); ++row) {
      out << (list->item(row, column) != nullptr ? list->item(row, column)->text() : QString());
    }
    return out;
  }

  std::unique_ptr<quillax::demo::DemoMarket> market_;
  std::unique_ptr<quillax::platform::Ui> ui_;
  std::unique_ptr<MainWindow> window_;
  quillax::ProcessState state_;
  QWidget* top_ = nullptr;
  std::vector<SeenBox> seen_;
};

void QtMarketTest::initTestCase() {
  market_ = std::make_unique<quillax::demo::DemoMarket>();
  quillax::demo::DemoMarket& market = *market_;
  QVERIFY2(market.start(), market.error().c_str());
  ::setenv("QUILLAX_MARKET_HOST", market.market_host().c_str(), 1);
  ::setenv("QUILLAX_NOTICE_HOST", market.notice_host().c_str(), 1);
  ::setenv("QUILLAX_CA_FILE", market.ca_file().c_str(), 1);

  static int argc = 1;
  static char name[] = "qt_market_test";
  static char* argv[] = {name, nullptr};
  quillax::platform::set_local_code_page(quillax::platform::kGbkCodePage);
  ui_ = quillax::platform::make_qt_ui(argc, argv);
  window_ = std::make_unique<MainWindow>(*ui_);
  window_->create();
  const quillax::Handlers handlers = quillax::program_handlers();
  const std::pair<Control, quillax::Handlers::Command> bindings[] = {
      {Control::Button1, handlers.button1}, {Control::Button2, handlers.button2},
      {Control::Button3, handlers.button3}, {Control::Button4, handlers.button4},
      {Control::Button5, handlers.button5}, {Control::Timer1, handlers.timer1}};
  for (const auto& [c, command] : bindings) {
    window_->on_event(c, [this, command] { command(*window_, state_); });
  }
  window_->show();
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String("main_window")) top_ = widget;
  }
  QVERIFY(top_ != nullptr);
  QVERIFY(QTest::qWaitForWindowExposed(top_));

  // Every modal message box is noted and answered OK as soon as it shows.
  auto* answer = new QTimer(this);
  connect(answer, &QTimer::timeout, this, [this] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    seen_.push_back({box->windowTitle(), box->text()});
    box->button(QMessageBox::Ok)->click();
  });
  answer->start(5);
}

void QtMarketTest::loginProductsAndRelease() {
  QTest::keyClicks(control<QLineEdit>(Control::Edit1), quillax::demo::kDemoAccount);
  QTest::keyClicks(control<QLineEdit>(Control::Edit2), quillax::demo::kDemoPassword);
  QTest::mouseClick(control<QPushButton>(Control::Button1), Qt::LeftButton);

  QCOMPARE(seen_.size(), std::size_t{1});
  QCOMPARE(seen_[0].caption, QStringLiteral("登录成功"));
  QVERIFY(seen_[0].text.startsWith(QStringLiteral("尊敬的晴天号卡您好")));
  auto* suppliers = control<QComboBox>(Control::Combo1);
  QCOMPARE(suppliers->count(), 4);
  QCOMPARE(suppliers->currentText(), QStringLiteral("星河号卡"));

  QTest::mouseClick(control<QPushButton>(Control::Button2), Qt::LeftButton);
  QCOMPARE(control<QTableWidget>(Control::List1)->rowCount(), 47);
  QCOMPARE(column(0).first(), QStringLiteral("1"));
  QCOMPARE(column(0).last(), QStringLiteral("47"));
  const int pending = static_cast<int>(column(2).count(QStringLiteral("null")));
  QCOMPARE(pending, 35);

  QTest::mouseClick(control<QPushButton>(Control::Button3), Qt::LeftButton);
  QCOMPARE(seen_.size(), std::size_t{2});
  QCOMPARE(seen_[1].caption, QStringLiteral("信息："));
  QCOMPARE(seen_[1].text, QStringLiteral("已全部上架"));
  QCOMPARE(column(2).count(QStringLiteral("null")), 0);
  QCOMPARE(column(2).count(QString()), 0);
  QCOMPARE(static_cast<int>(market_->release_bodies().size()), pending);
}

void QtMarketTest::cleanupTestCase() {
  window_.reset();
  ui_.reset();
  market_.reset();
}

QTEST_MAIN(QtMarketTest)
#include "qt_market_test.moc"
