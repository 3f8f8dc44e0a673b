#include "OrderQuery.h"

#include <charconv>
#include <cstdint>

namespace velkaro {
namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";  // U+FFFD
// The id is one or two digits; a few more leading zeros are tolerated, but
// nothing longer is worth parsing.
constexpr std::size_t kMaxIdDigits = 4;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the well-formed UTF-8 sequence at the start of s, or 0 when it is
// ill-formed; on failure *badLength is the length of the maximal ill-formed
// subpart (at least 1), so that each such subpart gives one U+FFFD.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t* badLength, std::uint32_t* cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  *badLength = 1;
  if (lead < 0x80) {
    *cp = lead;
    return 1;
  }
  std::size_t need = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  std::uint32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;  // no UTF-16 surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    value = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t i = 1; i <= need; ++i) {
    if (i >= s.size()) return 0;
    const unsigned char c = byte(i);
    const unsigned char low = i == 1 ? lo : 0x80;
    const unsigned char high = i == 1 ? hi : 0xBF;
    if (c < low || c > high) return 0;
    value = (value << 6) | (c & 0x3F);
    *badLength = i + 1;
  }
  *cp = value;
  return need + 1;
}

bool IsControl(std::uint32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

std::optional<int> ParseBrandNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > kMaxIdDigits) return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (value < kFirstBrandNumber || value > kLastBrandNumber) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> PercentDecodeStrict(std::string_view encoded) {
  std::string out;
  out.reserve(encoded.size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c != '%') {
      out.push_back(c);
    } else {
      if (i + 2 >= encoded.size()) return std::nullopt;  // needs two digits after it
      const int high = HexValue(encoded[i + 1]);
      const int low = HexValue(encoded[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    }
  }
  return out;
}

SanitizedUtf8 SanitizeUtf8(std::string_view bytes) {
  SanitizedUtf8 result;
  result.text.reserve(bytes.size());
  while (!bytes.empty()) {
    std::size_t bad = 1;
    std::uint32_t cp = 0;
    const std::size_t length = Utf8SequenceLength(bytes, &bad, &cp);
    if (length == 0) {
      result.text.append(kReplacementChar);
      bytes.remove_prefix(bad);
    } else {
      if (cp == '\t' || cp == '\n' || cp == '\r') {
        result.text.push_back(' ');
      } else if (IsControl(cp)) {
        result.text.append(kReplacementChar);
      } else {
        result.text.append(bytes.substr(0, length));
      }
      bytes.remove_prefix(length);
    }
    ++result.codePoints;
  }
  return result;
}

std::variant<OrderQuery, QueryError> ParseOrderQuery(std::string_view rawQuery) {
  std::optional<std::string> id;
  std::optional<std::string> name;
  while (!rawQuery.empty()) {
    const std::size_t amp = rawQuery.find('&');
    const std::string_view pair = rawQuery.substr(0, amp);
    rawQuery.remove_prefix(amp == std::string_view::npos ? rawQuery.size() : amp + 1);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    const auto key = PercentDecodeStrict(pair.substr(0, eq));
    const auto value =
        PercentDecodeStrict(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
    if (!key || !value) return QueryError{"malformed percent-escape in query"};
    // Other keys are ignored, as a web server would; a repeated id or name
    // is ambiguous and refused.
    std::optional<std::string>* slot = *key == "id" ? &id : *key == "name" ? &name : nullptr;
    if (slot == nullptr) continue;
    if (slot->has_value()) return QueryError{"parameter '" + *key + "' given twice"};
    *slot = *value;
  }
  if (!id) return QueryError{"missing parameter 'id'"};
  const auto brand = ParseBrandNumber(*id);
  if (!brand) return QueryError{"'id' must be a number from 1 to 11"};
  SanitizedUtf8 buyer = SanitizeUtf8(name.value_or(std::string()));
  if (buyer.codePoints > kMaxBuyerNameChars) {
    return QueryError{"'name' is longer than 200 characters"};
  }
  return OrderQuery{*brand, std::move(buyer.text)};
}

}  // namespace velkaro
