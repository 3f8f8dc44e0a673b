// picture-decode [--frames N] IN OUT.pam: tells what the picture box would
// make of a file. Prints "FORMAT WIDTHxHEIGHT" and writes the picture
// unblended at its own size, or prints "none" when the box would show no
// picture. With --frames N, an animated GIF's first N composed frames go to
// OUT-1.pam ... OUT-N.pam, each starting from a fully transparent screen.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "GifCompositor.h"
#include "PamWriter.h"
#include "PictureFormat.h"
#include "ShownPicture.h"

namespace {

constexpr int kExitUsageOrFile = 2;
// Each composed frame is kept whole until written; bound what one run holds.
constexpr int kMaxFrames = 1000;

struct Arguments {
  int frames = 0;  // 0: the picture as the box would first show it
  std::string in;
  std::string out;
};

std::optional<Arguments> ParseArguments(int argc, char** argv) {
  Arguments a;
  int i = 1;
  if (argc == 5 && std::strcmp(argv[1], "--frames") == 0) {
    char* end = nullptr;
    const long n = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || n < 1 || n > kMaxFrames) return std::nullopt;
    a.frames = static_cast<int>(n);
    i = 3;
  } else if (argc != 3) {
    return std::nullopt;
  }
  a.in = argv[i];
  a.out = argv[i + 1];
  return a;
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// "OUT.pam" -> "OUT-3.pam"; without a ".pam" ending the number is appended.
std::string FramePath(const std::string& out, int number) {
  const std::string suffix = ".pam";
  const bool hasSuffix = out.size() > suffix.size() && out.compare(out.size() - suffix.size(), suffix.size(), suffix) == 0;
  const std::string stem = hasSuffix ? out.substr(0, out.size() - suffix.size()) : out;
  return stem + "-" + std::to_string(number) + suffix;
}

bool Write(const std::string& path, const velkaro::Raster& raster) {
  if (velkaro::WritePam(path, raster)) return true;
  std::cerr << "picture-decode: cannot write " << path << '\n';
  return false;
}

// The picture box's own decode path: prints the line and writes the PAM(s).
int DescribePicture(const std::vector<std::uint8_t>& bytes, const Arguments& args) {
  const auto shown = velkaro::DecodeForDisplay(bytes);
  if (!shown) {
    std::cout << "none\n";
    return 0;
  }
  std::cout << velkaro::PictureFormatName(shown->format) << ' ' << shown->Width() << 'x'
            << shown->Height() << '\n';
  if (args.frames > 0 && shown->animation) {
    const std::vector<velkaro::Raster> frames = velkaro::ComposeGifFrames(bytes, args.frames);
    for (std::size_t i = 0; i < frames.size(); ++i) {
      if (!Write(FramePath(args.out, static_cast<int>(i) + 1), frames[i])) return kExitUsageOrFile;
    }
    return 0;
  }
  if (shown->animation) {
    // Without --frames an animation is written as its first composed frame.
    const std::vector<velkaro::Raster> first = velkaro::ComposeGifFrames(bytes, 1);
    if (first.empty()) return 0;
    return Write(args.out, first[0]) ? 0 : kExitUsageOrFile;
  }
  return Write(args.out, shown->still) ? 0 : kExitUsageOrFile;
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = ParseArguments(argc, argv);
  if (!args) {
    std::cerr << "usage: picture-decode [--frames N] IN OUT.pam\n";
    return kExitUsageOrFile;
  }
  const auto bytes = ReadWholeFile(args->in);
  if (!bytes) {
    std::cerr << "picture-decode: cannot read " << args->in << '\n';
    return kExitUsageOrFile;
  }
  return DescribePicture(*bytes, *args);
}
