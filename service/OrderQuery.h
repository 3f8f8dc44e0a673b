#pragma once
// Reading the order picture request: the raw query of
// "/velkaro/dremsil.php?id=N&name=X" becomes a brand number and a buyer's
// name, or a short reason why it cannot.
//
// The tool percent-encodes every byte of the name, so the decoder here is
// strict: a "%" must be followed by two hexadecimal digits, or the request is
// refused rather than guessed at.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace velkaro {

inline constexpr int kFirstBrandNumber = 1;
inline constexpr int kLastBrandNumber = 11;
// Counted in decoded characters (code points), after invalid UTF-8 has been
// replaced; longer names are refused.
inline constexpr std::size_t kMaxBuyerNameChars = 200;

// Decodes "%XX" escapes and "+" (a space in a query). Returns nothing when a
// "%" is not followed by two hexadecimal digits.
std::optional<std::string> PercentDecodeStrict(std::string_view encoded);

struct SanitizedUtf8 {
  std::string text;            // valid UTF-8
  std::size_t codePoints = 0;  // characters in text
};

// Keeps valid UTF-8 as it is and replaces every ill-formed sequence with
// U+FFFD, one per maximal ill-formed subpart. Control characters become
// U+FFFD too (tab, newline and carriage return become a space), so that what
// is drawn is one line of visible text.
SanitizedUtf8 SanitizeUtf8(std::string_view bytes);

struct OrderQuery {
  int brandNumber = 0;
  std::string buyerName;  // valid UTF-8, possibly empty
};

struct QueryError {
  std::string message;  // short, plain ASCII, shown to the client as the body
};

// Parses the part of the request target after "?". A missing name is taken
// as an empty name; a missing, non-numeric or out-of-range id, a malformed
// escape, a repeated key or an over-long name is an error.
std::variant<OrderQuery, QueryError> ParseOrderQuery(std::string_view rawQuery);

}  // namespace velkaro
