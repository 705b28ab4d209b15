// The program binary, started headless and asked to end while it starts up.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

TEST(Program, ShowsTheWindowAndEndsCleanlyWhenClosed) {
  // The child starts with SIGTERM blocked, so the request waits until the program watches for
  // it; it then closes the window through the loop, like a click on the close box.
  sigset_t terminate;
  sigemptyset(&terminate);
  sigaddset(&terminate, SIGTERM);
  sigset_t previous;
  ::sigprocmask(SIG_BLOCK, &terminate, &previous);  // inherited by the child from the start
  const pid_t pid = ::fork();
  if (pid != 0) ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Any exchange stays on this machine and fails at once.
    ::setenv("QUILLAX_NOTICE_HOST", "127.0.0.1:1", 1);
    ::setenv("QUILLAX_MARKET_HOST", "127.0.0.1:1", 1);
    ::execl(QUILLAX_PROGRAM, QUILLAX_PROGRAM, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
