// Percent-encoding of a typed name: any bytes, taken as a GBK text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "NameEncoding.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case is not what the service expects either
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const velkaro::Text name(reinterpret_cast<const char*>(data), size);
  const velkaro::Text encoded = velkaro::UrlEncode(name);
  const velkaro::Text utf8 = velkaro::GbkToUtf8(name);

  VELKARO_FUZZ_CHECK(utf8.find('\0') == velkaro::Text::npos);
  VELKARO_FUZZ_CHECK(encoded.size() == utf8.size() * 3);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    VELKARO_FUZZ_CHECK(encoded[3 * i] == '%');
    const int high = HexValue(encoded[3 * i + 1]);
    const int low = HexValue(encoded[3 * i + 2]);
    VELKARO_FUZZ_CHECK(high >= 0 && low >= 0);
    VELKARO_FUZZ_CHECK(high * 16 + low == static_cast<unsigned char>(utf8[i]));
  }

  // ASCII reads the same in both code pages, so a name of ASCII alone (up to
  // its first zero byte) must come through unchanged.
  const std::string_view typed = std::string_view(velkaro::View(name)).substr(0, name.find('\0'));
  bool ascii = true;
  for (const char c : typed) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) VELKARO_FUZZ_CHECK(velkaro::View(utf8) == typed);
  return 0;
}
