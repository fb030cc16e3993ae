// Starts the real program under the test's X display with the command line
// "quillo ANYTHING SETTINGS-PATH" and checks that start-up ran on that file
// and the program kept running with its window up, rather than being turned
// away by the toolkit's own option parsing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace {

TEST(StartupProgram, TwoArgumentsNameTheSettingsFile) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
  qtest::ScratchDir dir;
  std::string home = dir.File("data");
  qtest::WriteBytes(dir.File("my.ini"), "HomeDirectory=" + home + "\r\n");
  std::string program = std::string(QUILLO_BINARY_DIR) + "/quillo";

  pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (chdir(dir.Path().c_str()) != 0) _exit(126);
    execl(program.c_str(), "quillo", "ANYTHING", "my.ini", static_cast<char*>(nullptr));
    _exit(127);
  }

  // Start-up runs before the window shows: wait for its mark first, so the
  // window search cannot settle anything before the program has started.
  const bool read = qtest::WaitUntil(
      [&] { return std::filesystem::is_directory(home) || waitpid(child, nullptr, WNOHANG) != 0; },
      std::chrono::seconds(20));
  // --all: xdotool otherwise takes a window matching the title alone, and
  // the other display tests' frames are titled Quillo too.
  const std::string search = "timeout 20 xdotool search --sync --all --onlyvisible --pid " +
                             std::to_string(child) + " --name '^Quillo$' >/dev/null 2>&1";
  const bool window = std::system(search.c_str()) == 0;
  int status = 0;
  pid_t ended = waitpid(child, &status, WNOHANG);
  kill(child, SIGTERM);
  if (ended == 0) waitpid(child, &status, 0);

  EXPECT_TRUE(read && std::filesystem::is_directory(home)) << "start-up did not read my.ini";
  EXPECT_EQ(ended, 0) << "the program exited during start-up";
  EXPECT_TRUE(window) << "no visible window titled Quillo";
}

}  // namespace
