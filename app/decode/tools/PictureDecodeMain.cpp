// picture-decode IN OUT.pam: tells what the picture box would make of a file.
// Prints "FORMAT WIDTHxHEIGHT" and writes the picture unblended at its own
// size, or prints "none" when the box would show no picture.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "DecodePicture.h"
#include "PamWriter.h"
#include "PictureFormat.h"

namespace {

constexpr int kExitUsageOrFile = 2;

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// The one path per format: prints the line and writes the PAM.
int DescribePicture(const std::vector<std::uint8_t>& bytes, const std::string& outPath) {
  const auto format = velkaro::RecognizePictureFormat(bytes);
  const auto picture = format ? velkaro::DecodeRasterPicture(*format, bytes) : std::nullopt;
  if (!picture) {
    std::cout << "none\n";
    return 0;
  }
  std::cout << velkaro::PictureFormatName(*format) << ' ' << picture->width << 'x' << picture->height << '\n';
  if (!velkaro::WritePam(outPath, *picture)) {
    std::cerr << "picture-decode: cannot write " << outPath << '\n';
    return kExitUsageOrFile;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: picture-decode IN OUT.pam\n";
    return kExitUsageOrFile;
  }
  const auto bytes = ReadWholeFile(argv[1]);
  if (!bytes) {
    std::cerr << "picture-decode: cannot read " << argv[1] << '\n';
    return kExitUsageOrFile;
  }
  return DescribePicture(*bytes, argv[2]);
}
