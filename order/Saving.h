#pragma once
// The save button writes the shown picture's bytes, unchanged, into a new
// file with a random numeric name in the tool's own directory.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string_view>

#include "ControlProperties.h"
#include "Text.h"

namespace velkaro {

// How many names a press tries before it gives up when each one is taken.
inline constexpr int kMaxSaveNameAttempts = 100;
inline constexpr int kNumbersPerSaveName = 5;
inline constexpr int kLargestNameNumber = 10;

// The handler of MainWindow's created event: seeds the generator.
void OnMainWindowCreated();

// The generator: one 32-bit state, used on the user-interface thread only.
void SeedRandom();
void SetRandomState(std::uint32_t state);
int RandomInRange(int lo, int hi);

Text IntToText(int n);

// The directory of the running executable, without a trailing "/"; an
// executable in "/" gives "".
Text RunDirectory();
// The part of a path before its last "/": "/a/b/gen" gives "/a/b", "/gen" "".
Text DirectoryOfPath(std::string_view path);

// The file name part of one save: five draws of 0 to 10 and ".jpg".
Text DrawSaveName();

enum class WriteOutcome {
  kWritten,
  kNameTaken,  // a file (or anything else) of that name exists; it is left alone
  kFailed,     // nothing of ours is left behind
};

// Writes like ::write; tests put a failing one in its place.
using ByteWriter = std::function<ssize_t(int fd, const void* data, std::size_t count)>;

// Creates the file only if no file of that name exists, and writes all the
// bytes. A write that fails part-way removes the file it created.
WriteOutcome WriteNewFile(const Text& path, const ByteSet& bytes, const ByteWriter& writer);
WriteOutcome WriteNewFile(const Text& path, const ByteSet& bytes);
bool WriteWholeFile(const Text& path, const ByteSet& bytes);

// The handler of 按钮1's clicked event.
void OnSaveClicked(ControlProperties& controls);
// The same, into the given directory and through the given writer.
void OnSaveClicked(ControlProperties& controls, const Text& directory, const ByteWriter& writer);
void OnSaveClicked(ControlProperties& controls, const Text& directory);

}  // namespace velkaro
