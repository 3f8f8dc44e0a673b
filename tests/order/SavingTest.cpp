#include "Saving.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "FakeControls.h"

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using testing::FakeControls;

ByteSet Bytes(std::string_view s) { return ByteSet(s.begin(), s.end()); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, std::string_view content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::set<std::string> FileNames(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

ssize_t PlainWrite(int fd, const void* data, std::size_t count) { return ::write(fd, data, count); }

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velkaro-save-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    SetRandomState(1);
  }
  void TearDown() override { fs::remove_all(dir_); }
  Text Dir() const { return MakeText(dir_.string()); }

  fs::path dir_;
  FakeControls controls_;
};

TEST(RandomInRange, FollowsTheGeneratorToTheBit) {
  SetRandomState(1);
  for (int r : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(RandomInRange(0, 32767), r);
  SetRandomState(1);
  for (int n : {8, 9, 9, 1, 7}) EXPECT_EQ(RandomInRange(0, 10), n);
  SetRandomState(1);
  EXPECT_EQ(RandomInRange(100, 100 + 32767), 141);
}

TEST(RandomInRange, DegenerateAndExtremeRangesStayInside) {
  SetRandomState(7);
  EXPECT_EQ(RandomInRange(5, 5), 5);
  EXPECT_EQ(RandomInRange(9, 3), 9);
  for (int i = 0; i < 100; ++i) {
    // The span of the whole int range does not fit an int; r is added to lo.
    const int n = RandomInRange(INT_MIN, INT_MAX);
    EXPECT_LE(n, INT_MIN + 32767);
    const int m = RandomInRange(-3, -1);
    EXPECT_TRUE(m >= -3 && m <= -1) << m;
  }
}

TEST(IntToText, GivesPlainDecimalDigits) {
  const struct {
    int n;
    const char* text;
  } cases[] = {{0, "0"}, {7, "7"}, {10, "10"}, {2147483647, "2147483647"}, {-12, "-12"}};
  for (const auto& c : cases) EXPECT_EQ(View(IntToText(c.n)), c.text) << c.n;
}

TEST(DirectoryOfPath, CutsAtTheLastSlash) {
  const struct {
    const char* path;
    const char* directory;
  } cases[] = {{"/gen", ""}, {"/a/b/gen", "/a/b"}, {"/a/b/", "/a/b"}, {"gen", "."}};
  for (const auto& c : cases) EXPECT_EQ(View(DirectoryOfPath(c.path)), c.directory) << c.path;
}

TEST(RunDirectory, IsTheDirectoryOfThisExecutable) {
  EXPECT_EQ(fs::path(View(RunDirectory())), fs::read_symlink("/proc/self/exe").parent_path());
}

TEST_F(SaveTest, SavesThePictureUnderTheDrawnNames) {
  controls_.picture = Bytes(std::string("\x89PNG\r\n\x1a\n\0bytes", 14));
  OnSaveClicked(controls_, Dir());
  OnSaveClicked(controls_, Dir());
  EXPECT_EQ(FileNames(dir_), (std::set<std::string>{"89917.jpg", "551010.jpg"}));
  EXPECT_EQ(ReadFile(dir_ / "89917.jpg"), std::string("\x89PNG\r\n\x1a\n\0bytes", 14));
  EXPECT_EQ(ReadFile(dir_ / "551010.jpg"), ReadFile(dir_ / "89917.jpg"));
}

TEST_F(SaveTest, EmptyPictureGivesAnEmptyFile) {
  OnSaveClicked(controls_, Dir());
  ASSERT_TRUE(fs::exists(dir_ / "89917.jpg"));
  EXPECT_EQ(fs::file_size(dir_ / "89917.jpg"), 0u);
}

TEST_F(SaveTest, TakenNameIsLeftAloneAndTheNextDrawIsUsed) {
  WriteFile(dir_ / "89917.jpg", "earlier picture");
  controls_.picture = Bytes("new picture");
  OnSaveClicked(controls_, Dir());
  EXPECT_EQ(ReadFile(dir_ / "89917.jpg"), "earlier picture");
  EXPECT_EQ(ReadFile(dir_ / "551010.jpg"), "new picture");
  EXPECT_EQ(FileNames(dir_).size(), 2u);
}

TEST_F(SaveTest, GivesUpWhenEveryTriedNameIsTaken) {
  std::set<std::string> taken;
  for (int i = 0; i < kMaxSaveNameAttempts; ++i) taken.insert(std::string(View(DrawSaveName())));
  for (const auto& name : taken) WriteFile(dir_ / name, "old");
  SetRandomState(1);
  controls_.picture = Bytes("new picture");
  OnSaveClicked(controls_, Dir());
  EXPECT_EQ(FileNames(dir_), taken);
  for (const auto& name : taken) EXPECT_EQ(ReadFile(dir_ / name), "old") << name;
}

TEST_F(SaveTest, DirectoryThatCannotExistWritesNothingAndDrawsOneName) {
  WriteFile(dir_ / "plain-file", "x");
  OnSaveClicked(controls_, MakeText((dir_ / "plain-file" / "sub").string()));
  EXPECT_EQ(FileNames(dir_), std::set<std::string>{"plain-file"});
  const int next = RandomInRange(0, 32767);
  SetRandomState(1);
  for (int i = 0; i < kNumbersPerSaveName; ++i) RandomInRange(0, 10);
  EXPECT_EQ(next, RandomInRange(0, 32767));
}

TEST_F(SaveTest, WriteFailingPartWayLeavesNoFile) {
  controls_.picture = Bytes(std::string(5000, 'p'));
  auto failsAfterAWhile = [calls = 0](int fd, const void* data, std::size_t count) mutable -> ssize_t {
    if (++calls > 2) {
      errno = ENOSPC;
      return -1;
    }
    return PlainWrite(fd, data, std::min<std::size_t>(count, 100));
  };
  OnSaveClicked(controls_, Dir(), failsAfterAWhile);
  EXPECT_TRUE(FileNames(dir_).empty());
}

TEST_F(SaveTest, InterruptedAndShortWritesStillWriteEverything) {
  const std::string content(3000, 'q');
  controls_.picture = Bytes(content);
  auto awkward = [calls = 0](int fd, const void* data, std::size_t count) mutable -> ssize_t {
    if (++calls % 3 == 1) {
      errno = EINTR;
      return -1;
    }
    return PlainWrite(fd, data, std::min<std::size_t>(count, 7));
  };
  OnSaveClicked(controls_, Dir(), awkward);
  EXPECT_EQ(ReadFile(dir_ / "89917.jpg"), content);
}

TEST_F(SaveTest, WriteWholeFileNeverReplacesAFile) {
  const Text path = MakeText((dir_ / "a.jpg").string());
  EXPECT_TRUE(WriteWholeFile(path, Bytes("first")));
  EXPECT_FALSE(WriteWholeFile(path, Bytes("second")));
  EXPECT_EQ(WriteNewFile(path, Bytes("third")), WriteOutcome::kNameTaken);
  EXPECT_EQ(ReadFile(dir_ / "a.jpg"), "first");
  fs::create_symlink(dir_ / "target", dir_ / "link.jpg");
  EXPECT_EQ(WriteNewFile(MakeText((dir_ / "link.jpg").string()), Bytes("x")), WriteOutcome::kNameTaken);
  EXPECT_FALSE(fs::exists(dir_ / "target"));
}

}  // namespace
}  // namespace velkaro
