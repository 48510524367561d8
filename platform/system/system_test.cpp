#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/system/single_instance.h"
#include "platform/system/text_file.h"

namespace corvane::platform {
namespace {

class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("corvane-system-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(SystemTest, LinesAreWrittenWithCrLfAndReadWithEither) {
  const auto file = dir_ / "a.txt";
  AppendTextLine(file, "first");
  AppendTextLine(file, "");
  AppendTextLine(file, "third\tcolumn");
  EXPECT_EQ(ReadWholeFile(file), "first\r\n\r\nthird\tcolumn\r\n");
  EXPECT_EQ(ReadTextLines(file), (std::vector<std::string>{"first", "", "third\tcolumn"}));
  EXPECT_EQ(SplitTextLines("a\nb\r\n\nlast"), (std::vector<std::string>{"a", "b", "", "last"}));
  EXPECT_TRUE(SplitTextLines("").empty());
}

TEST_F(SystemTest, MissingFolderIsAClearFailure) {
  EXPECT_THROW(AppendTextLine(dir_ / "no" / "a.txt", "x"), std::runtime_error);
  EXPECT_THROW(ReadTextLines(dir_ / "none.txt"), std::runtime_error);
}

TEST_F(SystemTest, SecondInstanceLockFailsUntilTheFirstIsReleased) {
  auto first = SingleInstanceLock::TryAcquire(dir_ / "x.lock");
  ASSERT_TRUE(first);
  EXPECT_FALSE(SingleInstanceLock::TryAcquire(dir_ / "x.lock"));
  first.reset();
  EXPECT_TRUE(SingleInstanceLock::TryAcquire(dir_ / "x.lock"));
}

}  // namespace
}  // namespace corvane::platform
