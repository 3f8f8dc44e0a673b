#include "NameEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace velkaro {
namespace {

constexpr char kZhangSan[] = "\xD5\xC5\xC8\xFD";  // 张三 in GBK

std::string AsString(const Text& t) { return std::string(t.begin(), t.end()); }
ByteSet Bytes(std::initializer_list<std::uint8_t> bytes) { return ByteSet(bytes); }
std::string Hex(const ByteSet& bytes) {
  std::string out;
  for (auto b : bytes) out += "0123456789ABCDEF"[b >> 4], out += "0123456789ABCDEF"[b & 15];
  return out;
}

TEST(UrlEncode, EveryUtf8ByteBecomesAnUpperCaseEscape) {
  const struct {
    std::string name;
    std::string encoded;
  } cases[] = {
      {"abc", "%61%62%63"},
      {kZhangSan, "%E5%BC%A0%E4%B8%89"},
      {" ", "%20"},
      {"/", "%2F"},
      {".", "%2E"},
      {"\t", "%09"},
      {"09AZaz", "%30%39%41%5A%61%7A"},
      {"\x80", "%E2%82%AC"},  // the euro sign at 0x80, as on Windows
      {std::string(kZhangSan) + kZhangSan, "%E5%BC%A0%E4%B8%89%E5%BC%A0%E4%B8%89"},
      {"", ""},
      {std::string("ab\0cd", 5), "%61%62"},  // a text ends at its first zero byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AsString(UrlEncode(MakeText(c.name))), c.encoded) << "name bytes: " << c.name;
  }
}

TEST(UrlEncode, FourChineseCharactersGiveThirtySixCharacters) {
  EXPECT_EQ(UrlEncode(MakeText(std::string(kZhangSan) + kZhangSan)).size(), 36u);
}

TEST(UrlEncode, VeryLongNameIsEncodedWhole) {
  const std::string name(200000, 'a');
  const Text encoded = UrlEncode(MakeText(name));
  ASSERT_EQ(encoded.size(), 600000u);
  for (std::size_t i = 0; i < encoded.size(); i += 3) {
    ASSERT_EQ(View(encoded).substr(i, 3), "%61") << "at " << i;
  }
}

TEST(TextToWide, GivesLittleEndianUnitsAndATerminator) {
  EXPECT_EQ(Hex(TextToWide(MakeText(kZhangSan), kCodePageGbk)), "205F094E0000");
  EXPECT_EQ(Hex(TextToWide(MakeText("\x80"), kCodePageGbk)), "AC200000");
  EXPECT_EQ(Hex(TextToWide(MakeText("\xC3\xA9"), kCodePageUtf8)), "E9000000");
  EXPECT_EQ(Hex(TextToWide(MakeText(""), kCodePageGbk)), "0000");
  EXPECT_TRUE(TextToWide(MakeText("abc"), 1252).empty());
}

TEST(WideToText, ConvertsUpToTheFirstZeroUnit) {
  EXPECT_EQ(AsString(WideToText(Bytes({0x20, 0x5F, 0x09, 0x4E, 0, 0}), kCodePageGbk)), kZhangSan);
  EXPECT_EQ(AsString(WideToText(Bytes({0xAC, 0x20}), kCodePageGbk)), "\x80");
  EXPECT_EQ(AsString(WideToText(Bytes({0x41, 0, 0, 0, 0x42, 0}), kCodePageGbk)), "A");
  EXPECT_EQ(AsString(WideToText(Bytes({0x41, 0, 0x42}), kCodePageUtf8)), "A");  // odd byte dropped
  EXPECT_EQ(AsString(WideToText(Bytes({}), kCodePageGbk)), "");
  EXPECT_TRUE(WideToText(Bytes({0x41, 0}), 1252).empty());
}

TEST(WideToText, CharacterGbkCannotHoldBecomesQuestionMark) {
  // Thai ก (U+0E01) and a lone surrogate have no GBK form.
  EXPECT_EQ(AsString(WideToText(Bytes({0x61, 0, 0x01, 0x0E, 0x62, 0}), kCodePageGbk)), "a?b");
  EXPECT_EQ(AsString(WideToText(Bytes({0x00, 0xD8, 0x62, 0}), kCodePageGbk)), "?b");
}

TEST(GbkToUtf8, RoundTripsThroughUtf16) {
  for (const std::string& text : {std::string(kZhangSan), std::string("abc \x80"), std::string()}) {
    const Text gbk = MakeText(text);
    EXPECT_EQ(WideToText(TextToWide(gbk, kCodePageGbk), kCodePageGbk), gbk) << text;
    const Text utf8 = GbkToUtf8(gbk);
    EXPECT_EQ(WideToText(TextToWide(utf8, kCodePageUtf8), kCodePageGbk), gbk) << text;
  }
}

TEST(GbkToUtf8, InvalidGbkGetsTheReplacementCharacter) {
  // A lead byte with nothing after it, and one followed by a byte that cannot trail.
  EXPECT_EQ(AsString(GbkToUtf8(MakeText("a\x81"))), "a\xEF\xBF\xBD");
  const std::string converted = AsString(GbkToUtf8(MakeText("\x81\x20z")));
  EXPECT_TRUE(converted.starts_with("\xEF\xBF\xBD")) << converted;
  EXPECT_TRUE(converted.ends_with("z")) << converted;
}

}  // namespace
}  // namespace velkaro
