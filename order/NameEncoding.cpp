#include "NameEncoding.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string_view>

namespace velkaro {
namespace {

// "windows-936" is ICU's copy of the Windows table, so 0x80 reads as the euro
// sign exactly as on the platform the names were first typed on.
constexpr char kGbkConverterName[] = "windows-936";
constexpr char kUtf8ConverterName[] = "UTF-8";
// What a character the target code page cannot hold becomes.
constexpr char kUnmappableCharacter[] = "?";
constexpr std::size_t kConversionChunkUnits = 4096;

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter OpenConverter(int codePage) {
  const char* name = nullptr;
  if (codePage == kCodePageGbk) name = kGbkConverterName;
  if (codePage == kCodePageUtf8) name = kUtf8ConverterName;
  if (name == nullptr) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  ucnv_setSubstChars(converter.get(), kUnmappableCharacter, 1, &status);
  return converter;
}

std::string_view UpToFirstZero(const Text& text) {
  std::string_view bytes = View(text);
  return bytes.substr(0, bytes.find('\0'));
}

// UTF-16 units of the byte set, up to (not including) the first zero unit; an
// odd trailing byte is not a unit.
std::basic_string<UChar> UnitsUpToFirstZero(const ByteSet& utf16le) {
  std::basic_string<UChar> units;
  for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    const UChar unit = static_cast<UChar>(utf16le[i] | (utf16le[i + 1] << 8));
    if (unit == 0) break;
    units.push_back(unit);
  }
  return units;
}

void AppendUnitsLittleEndian(ByteSet& out, const UChar* begin, const UChar* end) {
  for (const UChar* unit = begin; unit != end; ++unit) {
    out.push_back(static_cast<std::uint8_t>(*unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(*unit >> 8));
  }
}

// Streams the conversion in chunks so that no length ever has to fit ICU's
// 32-bit counts, whatever the size of the text.
void DecodeToUnits(UConverter* converter, std::string_view bytes, ByteSet& out) {
  std::array<UChar, kConversionChunkUnits> chunk;
  const char* source = bytes.data();
  const char* sourceLimit = bytes.data() + bytes.size();
  UErrorCode status = U_BUFFER_OVERFLOW_ERROR;
  while (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
    UChar* target = chunk.data();
    ucnv_toUnicode(converter, &target, chunk.data() + chunk.size(), &source, sourceLimit,
                   nullptr, true, &status);
    AppendUnitsLittleEndian(out, chunk.data(), target);
  }
}

void EncodeFromUnits(UConverter* converter, const std::basic_string<UChar>& units, Text& out) {
  std::array<char, kConversionChunkUnits> chunk;
  const UChar* source = units.data();
  const UChar* sourceLimit = units.data() + units.size();
  UErrorCode status = U_BUFFER_OVERFLOW_ERROR;
  while (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
    char* target = chunk.data();
    ucnv_fromUnicode(converter, &target, chunk.data() + chunk.size(), &source, sourceLimit,
                     nullptr, true, &status);
    out.append(chunk.data(), static_cast<std::size_t>(target - chunk.data()));
  }
}

char HexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0xF]; }

}  // namespace

ByteSet TextToWide(const Text& text, int codePage) {
  ByteSet wide;
  Converter converter = OpenConverter(codePage);
  if (!converter) return wide;
  DecodeToUnits(converter.get(), UpToFirstZero(text), wide);
  wide.push_back(0);
  wide.push_back(0);
  return wide;
}

Text WideToText(const ByteSet& utf16le, int codePage) {
  Text text;
  Converter converter = OpenConverter(codePage);
  if (!converter) return text;
  EncodeFromUnits(converter.get(), UnitsUpToFirstZero(utf16le), text);
  // The converted form ends at its first zero byte, as a zero-terminated text would.
  text.resize(UpToFirstZero(text).size());
  return text;
}

Text GbkToUtf8(const Text& gbk) {
  return WideToText(TextToWide(gbk, kCodePageGbk), kCodePageUtf8);
}

Text UrlEncode(const Text& name) {
  const Text utf8 = GbkToUtf8(name);
  Text encoded;
  encoded.reserve(utf8.size() * 3);
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    encoded.push_back('%');
    encoded.push_back(HexDigit(byte >> 4));
    encoded.push_back(HexDigit(byte));
  }
  return encoded;
}

}  // namespace velkaro
