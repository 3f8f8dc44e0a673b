// Reading the picture request: strict percent-decoding, UTF-8 repair, the
// query's keys and limits, and the service's command-line values.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "OrderPicture.h"
#include "OrderQuery.h"
#include "PictureServer.h"

namespace velkaro {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(PercentDecodeStrict, DecodesEscapesAndRefusesMalformedOnes) {
  struct Case {
    std::string input;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"", ""},
      {"%61%62%63", "abc"},
      {"%E5%BC%A0%E4%B8%89", "\xE5\xBC\xA0\xE4\xB8\x89"},
      {"%e5%bc%a0", "\xE5\xBC\xA0"},
      {"plain", "plain"},
      {"a+b", "a b"},
      {"%2B%25", "+%"},
      {"%00", std::string(1, '\0')},
      {"%", std::nullopt},
      {"%4", std::nullopt},
      {"abc%", std::nullopt},
      {"%zz", std::nullopt},
      {"%4g", std::nullopt},
      {"%%41", std::nullopt},
      {"%6", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PercentDecodeStrict(c.input), c.expected) << "input: " << c.input;
  }
}

TEST(SanitizeUtf8, KeepsValidTextAndReplacesEachIllFormedPart) {
  struct Case {
    std::string input;
    std::string expected;
    std::size_t codePoints;
  };
  const Case cases[] = {
      {"", "", 0},
      {"abc", "abc", 3},
      {"\xE5\xBC\xA0\xE4\xB8\x89", "\xE5\xBC\xA0\xE4\xB8\x89", 2},
      {"\xF0\x9F\x9A\x97", "\xF0\x9F\x9A\x97", 1},  // a car, outside the BMP
      {"\xFF", kReplacement, 1},
      {"a\xFF" "b", "a" + kReplacement + "b", 3},
      {"\xE5\xBC", kReplacement, 1},                     // cut-off sequence: one replacement
      {"\xE5\xBC" "a", kReplacement + "a", 2},
      {"\xC0\xAF", kReplacement + kReplacement, 2},      // overlong
      {"\xED\xA0\x80", Repeat(kReplacement, 3), 3},      // surrogate
      {"\xF4\x90\x80\x80", Repeat(kReplacement, 4), 4},  // above U+10FFFF
      {"\x80\x80", kReplacement + kReplacement, 2},
      {"a\tb\nc\rd", "a b c d", 7},
      {std::string("a\0b", 3), "a" + kReplacement + "b", 3},
      {"\x1B[31m", kReplacement + "[31m", 5},
      {"\xC2\x85", kReplacement, 1},  // C1 control
  };
  for (const Case& c : cases) {
    const SanitizedUtf8 result = SanitizeUtf8(c.input);
    EXPECT_EQ(result.text, c.expected) << "input: " << testing::PrintToString(c.input);
    EXPECT_EQ(result.codePoints, c.codePoints) << "input: " << testing::PrintToString(c.input);
  }
}

TEST(ParseOrderQuery, AcceptsWhatTheToolSends) {
  struct Case {
    std::string query;
    int brand;
    std::string name;
  };
  const Case cases[] = {
      {"id=1&name=%E5%BC%A0%E4%B8%89", 1, "\xE5\xBC\xA0\xE4\xB8\x89"},
      {"id=11&name=%61%62%63", 11, "abc"},
      {"id=7&name=", 7, ""},
      {"id=7", 7, ""},
      {"name=%61&id=2", 2, "a"},
      {"id=3&name=%FF", 3, kReplacement},
      {"id=03&name=x", 3, "x"},
      {"id=4&name=x&lang=zh", 4, "x"},
      {"id=5&&name=x", 5, "x"},
      {"id=9&name=" + Repeat("%E5%BC%A0", 200), 9, Repeat("\xE5\xBC\xA0", 200)},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseOrderQuery(c.query);
    const auto* order = std::get_if<OrderQuery>(&parsed);
    ASSERT_NE(order, nullptr) << "query: " << c.query << " error: " << std::get<QueryError>(parsed).message;
    EXPECT_EQ(order->brandNumber, c.brand) << "query: " << c.query;
    EXPECT_EQ(order->buyerName, c.name) << "query: " << c.query;
  }
}

TEST(ParseOrderQuery, RefusesBadQueriesWithAReason) {
  const std::string refused[] = {
      "",
      "name=abc",
      "id=&name=a",
      "id=abc&name=a",
      "id=0&name=a",
      "id=12&name=a",
      "id=-1&name=a",
      "id=+1&name=a",
      "id=1.5&name=a",
      "id=%31%31%31%31%31&name=a",
      "id=99999999999999999999&name=a",
      "id=1&name=%zz",
      "id=1&name=abc%",
      "i%d=1",
      "id=1&id=2&name=a",
      "id=1&name=a&name=b",
      "id=1&name=" + Repeat("%E5%BC%A0", 201),
      "id=1&name=" + Repeat("a", 201),
      "id=1&name=" + Repeat("%FF", 201),  // replacements count as characters
  };
  for (const std::string& query : refused) {
    const auto parsed = ParseOrderQuery(query);
    const auto* error = std::get_if<QueryError>(&parsed);
    ASSERT_NE(error, nullptr) << "query accepted: " << query.substr(0, 80);
    EXPECT_FALSE(error->message.empty());
  }
}

TEST(ParseListenAddress, ReadsHostAndPort) {
  struct Case {
    std::string text;
    std::optional<std::string> host;
    int port;
  };
  const Case cases[] = {
      {"127.0.0.1:8631", "127.0.0.1", 8631},
      {"127.0.0.1:0", "127.0.0.1", 0},
      {"9000", "127.0.0.1", 9000},
      {"[::1]:8631", "::1", 8631},
      {"0.0.0.0:65535", "0.0.0.0", 65535},
      {"127.0.0.1:65536", std::nullopt, 0},
      {"127.0.0.1:", std::nullopt, 0},
      {":8631", std::nullopt, 0},
      {"127.0.0.1:-1", std::nullopt, 0},
      {"127.0.0.1:80x", std::nullopt, 0},
      {"::1:8631", std::nullopt, 0},
      {"[::1]8631", std::nullopt, 0},
      {"", std::nullopt, 0},
  };
  for (const Case& c : cases) {
    const auto address = ParseListenAddress(c.text);
    ASSERT_EQ(address.has_value(), c.host.has_value()) << "text: " << c.text;
    if (!address) continue;
    EXPECT_EQ(address->host, *c.host) << "text: " << c.text;
    EXPECT_EQ(address->port, c.port) << "text: " << c.text;
    EXPECT_EQ(ParseListenAddress(FormatListenAddress(*address))->host, address->host) << "text: " << c.text;
  }
}

TEST(ParseIsoDate, AcceptsRealDaysOnly) {
  struct Case {
    std::string text;
    std::optional<CalendarDate> expected;
  };
  const Case cases[] = {
      {"2024-05-17", CalendarDate{2024, 5, 17}},
      {"2024-02-29", CalendarDate{2024, 2, 29}},
      {"2000-02-29", CalendarDate{2000, 2, 29}},
      {"1900-02-29", std::nullopt},
      {"2023-02-29", std::nullopt},
      {"2024-04-31", std::nullopt},
      {"2024-13-01", std::nullopt},
      {"2024-00-10", std::nullopt},
      {"2024-01-00", std::nullopt},
      {"2024-1-01", std::nullopt},
      {"2024/01/01", std::nullopt},
      {"+024-01-01", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIsoDate(c.text), c.expected) << "text: " << c.text;
}

TEST(OrderNumber, DependsOnBrandAndName) {
  const std::string base = OrderNumber(1, "\xE5\xBC\xA0\xE4\xB8\x89");
  EXPECT_EQ(base.size(), std::string("VK01-0000-0000-0000").size());
  EXPECT_TRUE(base.starts_with("VK01-")) << base;
  EXPECT_NE(base, OrderNumber(1, "\xE6\x9D\x8E\xE5\x9B\x9B"));
  EXPECT_NE(OrderNumber(1, "ab"), OrderNumber(1, "ba"));
  EXPECT_NE(OrderNumber(2, "\xE5\xBC\xA0\xE4\xB8\x89").substr(5), base.substr(5));
  EXPECT_TRUE(OrderNumber(11, "").starts_with("VK11-"));
}

// Routing and refusals that need no picture: the order in which a wrong path
// and a wrong method are judged, and that every refusal is plain text.
TEST(AnswerRequest, RefusesWrongPathsMethodsAndQueries) {
  struct Case {
    std::string method;
    std::string target;
    int status;
  };
  const Case cases[] = {
      {"GET", "/", 404},
      {"GET", "/velkaro/dremsil.php/x?id=1", 404},
      {"GET", "/velkaro/%64remsil.php?id=1", 404},
      {"POST", "/nowhere", 404},
      {"POST", "/velkaro/dremsil.php?id=1&name=", 405},
      {"DELETE", "/velkaro/dremsil.php?id=1", 405},
      {"GET", "/velkaro/dremsil.php", 400},
      {"GET", "/velkaro/dremsil.php?id=12", 400},
      {"HEAD", "/velkaro/dremsil.php?id=1&name=%G0", 400},
      {"GET", "/health", 200},
  };
  const ServiceOptions options;
  for (const Case& c : cases) {
    const Reply reply = AnswerRequest(c.method, c.target, options);
    EXPECT_EQ(reply.status, c.status) << c.method << " " << c.target;
    EXPECT_TRUE(reply.contentType.starts_with("text/plain")) << c.method << " " << c.target;
    EXPECT_FALSE(reply.body.empty()) << c.method << " " << c.target;
  }
}

}  // namespace
}  // namespace velkaro
