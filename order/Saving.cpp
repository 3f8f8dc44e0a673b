#include "Saving.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <ctime>

namespace velkaro {
namespace {

constexpr std::uint32_t kGeneratorMultiplier = 214013;
constexpr std::uint32_t kGeneratorIncrement = 2531011;
constexpr int kGeneratorShift = 16;
constexpr std::uint32_t kGeneratorMask = 32767;
constexpr char kSaveExtension[] = ".jpg";
constexpr char kExecutableLink[] = "/proc/self/exe";
constexpr std::size_t kMaxExecutablePathBytes = 4096;
constexpr mode_t kSavedFileMode = 0644;

std::uint32_t generatorState = 0;

std::uint32_t MillisecondTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto millis = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(millis);
}

bool WriteAll(int fd, const ByteSet& bytes, const ByteWriter& writer) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = writer(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// On Linux the descriptor is gone after close even when it reports EINTR.
bool CloseFile(int fd) { return ::close(fd) == 0 || errno == EINTR; }

}  // namespace

void SeedRandom() { generatorState = MillisecondTickCount(); }

void OnMainWindowCreated() { SeedRandom(); }

void SetRandomState(std::uint32_t state) { generatorState = state; }

int RandomInRange(int lo, int hi) {
  generatorState = generatorState * kGeneratorMultiplier + kGeneratorIncrement;
  const std::uint32_t r = (generatorState >> kGeneratorShift) & kGeneratorMask;
  // A reversed range has only lo to offer; the draw is spent all the same.
  if (hi <= lo) return lo;
  const auto span = static_cast<std::int64_t>(hi) - lo + 1;
  return static_cast<int>(lo + static_cast<std::int64_t>(r) % span);
}

Text IntToText(int n) {
  std::array<char, 16> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), n).ptr;
  return Text(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

Text DirectoryOfPath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  // A bare name lives in the current directory, which start-up made ours.
  if (slash == std::string_view::npos) return MakeText(".");
  return MakeText(path.substr(0, slash));
}

Text RunDirectory() {
  std::array<char, kMaxExecutablePathBytes> path{};
  const ssize_t length = ::readlink(kExecutableLink, path.data(), path.size());
  // Unreadable or cut short: the current directory is the run directory.
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return MakeText(".");
  return DirectoryOfPath(std::string_view(path.data(), static_cast<std::size_t>(length)));
}

Text DrawSaveName() {
  Text name;
  for (int i = 0; i < kNumbersPerSaveName; ++i) {
    name += IntToText(RandomInRange(0, kLargestNameNumber));
  }
  name += kSaveExtension;
  return name;
}

WriteOutcome WriteNewFile(const Text& path, const ByteSet& bytes, const ByteWriter& writer) {
  if (path.find('\0') != Text::npos) return WriteOutcome::kFailed;
  // O_EXCL: an existing file, or a link planted under the name, is never replaced.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kSavedFileMode);
  if (fd < 0) return errno == EEXIST ? WriteOutcome::kNameTaken : WriteOutcome::kFailed;
  const bool written = WriteAll(fd, bytes, writer);
  const bool closed = CloseFile(fd);
  if (written && closed) return WriteOutcome::kWritten;
  // A broken picture under a .jpg name would pass for a good one.
  ::unlink(path.c_str());
  return WriteOutcome::kFailed;
}

WriteOutcome WriteNewFile(const Text& path, const ByteSet& bytes) {
  return WriteNewFile(path, bytes, [](int fd, const void* data, std::size_t count) {
    return ::write(fd, data, count);
  });
}

bool WriteWholeFile(const Text& path, const ByteSet& bytes) {
  return WriteNewFile(path, bytes) == WriteOutcome::kWritten;
}

void OnSaveClicked(ControlProperties& controls, const Text& directory, const ByteWriter& writer) {
  const ByteSet picture = controls.GetPicture();
  for (int attempt = 0; attempt < kMaxSaveNameAttempts; ++attempt) {
    const Text path = directory + "/" + DrawSaveName();
    if (WriteNewFile(path, picture, writer) != WriteOutcome::kNameTaken) return;
  }
}

void OnSaveClicked(ControlProperties& controls, const Text& directory) {
  OnSaveClicked(controls, directory, [](int fd, const void* data, std::size_t count) {
    return ::write(fd, data, count);
  });
}

void OnSaveClicked(ControlProperties& controls) { OnSaveClicked(controls, RunDirectory()); }

}  // namespace velkaro
