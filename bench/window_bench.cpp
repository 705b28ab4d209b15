// Start-up to the window shown, peak memory of the idle window, and CPU spent in a 10-second
// pause_with_events, against the same figures for a bare Qt window measured in the same run.
// Each figure comes from a fresh child process (headless, QT_QPA_PLATFORM=offscreen unless set).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "app/main_window.h"
#include "platform/qt/qt_ui.h"

namespace {

long long realtime_ns() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Peak resident memory of this process in MiB.
double peak_mib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

struct Figures {
  double startup_ms = 0;
  double peak_mib = 0;
  double pause_cpu_percent = -1;
};

// Child: shows the window, prints "startup_ms peak_mib pause_cpu_percent".
int child(long long t0, bool bare, int pause_ms, int argc, char** argv) {
  std::unique_ptr<quillax::platform::Ui> ui;
  std::unique_ptr<quillax::MainWindow> window;
  std::unique_ptr<QApplication> app;
  std::unique_ptr<QWidget> plain;
  QWidget* shown = nullptr;
  if (bare) {
    app = std::make_unique<QApplication>(argc, argv);
    plain = std::make_unique<QWidget>();
    plain->resize(320, 350);
    plain->show();
    shown = plain.get();
  } else {
    ui = quillax::platform::make_qt_ui(argc, argv);
    window = std::make_unique<quillax::MainWindow>(*ui);
    window->create();
    window->show();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->isVisible()) shown = widget;
    }
  }
  if (shown == nullptr || !QTest::qWaitForWindowExposed(shown)) return 1;
  const double startup_ms = (realtime_ns() - t0) / 1e6;
  double cpu_percent = -1;
  if (pause_ms > 0) {
    const double before = cpu_seconds();
    if (window) {
      window->pause_with_events(pause_ms);
    } else {
      QTest::qWait(pause_ms);
    }
    cpu_percent = (cpu_seconds() - before) / (pause_ms / 1000.0) * 100.0;
  } else {
    QCoreApplication::processEvents();
  }
  std::printf("%f %f %f\n", startup_ms, peak_mib(), cpu_percent);
  return 0;
}

Figures run_child(const char* self, bool bare, int pause_ms) {
  int out[2];
  if (pipe(out) != 0) return {};
  const long long t0 = realtime_ns();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    const std::string start = std::to_string(t0);
    const std::string pause = std::to_string(pause_ms);
    execl(self, self, "--child", start.c_str(), bare ? "bare" : "form", pause.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[256];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, n);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  Figures figures;
  std::sscanf(text.c_str(), "%lf %lf %lf", &figures.startup_ms, &figures.peak_mib,
              &figures.pause_cpu_percent);
  return figures;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::strcmp(argv[1], "--child") == 0) {
    int qt_argc = 1;
    return child(std::atoll(argv[2]), std::strcmp(argv[3], "bare") == 0, std::atoi(argv[4]),
                 qt_argc, argv);
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  constexpr int kRuns = 7;
  std::vector<double> form_ms;
  std::vector<double> bare_ms;
  std::vector<double> form_mib;
  std::vector<double> bare_mib;
  for (int i = 0; i < kRuns; ++i) {
    const Figures bare = run_child(argv[0], true, 0);
    const Figures form = run_child(argv[0], false, 0);
    bare_ms.push_back(bare.startup_ms);
    form_ms.push_back(form.startup_ms);
    bare_mib.push_back(bare.peak_mib);
    form_mib.push_back(form.peak_mib);
  }
  const Figures pause = run_child(argv[0], false, 10000);
  const Figures bare_pause = run_child(argv[0], true, 10000);

  std::printf(
      "start-up to window shown (median of %d): %.1f ms (goal < 300 ms, %.2f of it); "
      "bare Qt window %.1f ms, ratio %.2f\n",
      kRuns, median(form_ms), median(form_ms) / 300.0, median(bare_ms),
      median(form_ms) / median(bare_ms));
  std::printf(
      "peak memory of the idle window: %.1f MiB (goal < 80 MB, %.2f of it); bare Qt "
      "window %.1f MiB, ratio %.2f\n",
      median(form_mib), median(form_mib) / 76.29, median(bare_mib),
      median(form_mib) / median(bare_mib));
  std::printf(
      "CPU during a 10 s pause_with_events: %.3f %% of a core (goal < 1 %%); bare Qt "
      "window in QTest::qWait (polls) 10 s: %.3f %%\n",
      pause.pause_cpu_percent, bare_pause.pause_cpu_percent);
  return 0;
}
