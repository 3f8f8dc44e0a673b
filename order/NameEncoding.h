#pragma once
// The name travels to the picture service as percent-encoded UTF-8, while the
// tool holds every text as GBK; these are the conversions between them.
#include "Text.h"

namespace velkaro {

inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;

// Every byte of the name's UTF-8 form as "%" and two upper-case hex digits,
// letters and digits included; an empty name gives an empty Text.
Text UrlEncode(const Text& name);

// The UTF-8 form of a GBK text (up to its first zero byte).
Text GbkToUtf8(const Text& gbk);

// The UTF-16LE form of a text in the given code page (936 or 65001), up to its
// first zero byte, followed by one zero unit. An unknown code page gives an
// empty byte set. Bytes the code page cannot read become the converter's
// replacement character.
ByteSet TextToWide(const Text& text, int codePage);

// The given code page's form of UTF-16LE units up to the first zero unit. A
// character the code page cannot hold becomes "?". An unknown code page gives
// an empty Text.
Text WideToText(const ByteSet& utf16le, int codePage);

}  // namespace velkaro
