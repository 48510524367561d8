#include "platform/process/child_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/process/paced_clock.h"
#include "platform/system/text_file.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

// Gone, or a zombie whose parent has not reaped it yet: either way it runs no
// more.
bool IsRunning(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return false;
  std::string line;
  std::getline(stat, line);
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

class ChildProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("corvane-process-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Lets real time pass until `done` holds, for at most 5 real seconds.
  template <typename Done>
  bool WaitFor(Done done) {
    for (int i = 0; i < 500 && !done(); ++i) clock_.Sleep(Duration(200));
    return done();
  }

  fs::path dir_;
  PacedClock clock_{TimePoint{}, 20};
};

TEST_F(ChildProcessTest, RunsInItsWorkingFolderWithRedirectedOutput) {
  std::string error;
  auto child = ChildProcess::Start({.program = "/bin/sh",
                                    .arguments = {"-c", "pwd; echo oops >&2; exit 3"},
                                    .working_folder = dir_,
                                    .stdout_file = dir_ / "out.txt",
                                    .stderr_file = dir_ / "err.txt"},
                                   error);
  ASSERT_NE(child, nullptr) << error;
  EXPECT_FALSE(child->ExitStatus());
  ASSERT_TRUE(WaitFor([&] { return child->HasEnded(); }));
  EXPECT_EQ(child->ExitStatus(), 3);
  EXPECT_EQ(ReadWholeFile(dir_ / "out.txt"), fs::canonical(dir_).string() + "\n");
  EXPECT_EQ(ReadWholeFile(dir_ / "err.txt"), "oops\n");
}

TEST_F(ChildProcessTest, MissingProgramIsReportedNotStarted) {
  std::string error;
  EXPECT_EQ(ChildProcess::Start({.program = dir_ / "no-such-program"}, error), nullptr);
  EXPECT_NE(error.find("no-such-program"), std::string::npos) << error;
}

// A late program and whatever it started are killed, and the child is reaped
// before control returns, whether the caller kills it or drops it.
TEST_F(ChildProcessTest, KillLeavesNoProcessBehind) {
  for (const bool by_destructor : {false, true}) {
    SCOPED_TRACE(by_destructor ? "destructor" : "Kill");
    const fs::path pids = dir_ / "pids.txt";
    fs::remove(pids);
    std::string error;
    auto child = ChildProcess::Start(
        {.program = "/bin/sh",
         .arguments = {"-c", "trap '' TERM; sleep 300 & echo $! > pids.tmp; mv pids.tmp pids.txt; wait"},
         .working_folder = dir_},
        error);
    ASSERT_NE(child, nullptr) << error;
    ASSERT_TRUE(WaitFor([&] { return fs::exists(pids); }));
    const int shell = child->pid();
    const int sleeper = std::stoi(ReadWholeFile(pids));
    EXPECT_TRUE(IsRunning(shell));
    EXPECT_TRUE(IsRunning(sleeper));
    if (by_destructor) {
      child.reset();
    } else {
      child->Kill();
      EXPECT_EQ(child->ExitStatus(), 128 + SIGKILL);
      EXPECT_TRUE(child->HasEnded());
    }
    EXPECT_FALSE(fs::exists("/proc/" + std::to_string(shell))) << "the child was not reaped";
    EXPECT_TRUE(WaitFor([&] { return !IsRunning(sleeper); }));
  }
}

}  // namespace
}  // namespace corvane::platform
