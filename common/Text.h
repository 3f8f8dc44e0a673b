#pragma once
// The tool's two value types.
//
// Text: a byte string, GBK unless its owner says otherwise (the UTF-8 form of
// a name, or a request address that holds only ASCII). It may be empty.
// ByteSet: a length-counted run of bytes (a reply body, picture bytes, a
// file's content). It may be empty.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FatalAllocator.h"

namespace velkaro {

using Text = std::basic_string<char, std::char_traits<char>, FatalAllocator<char>>;
using ByteSet = std::vector<std::uint8_t, FatalAllocator<std::uint8_t>>;

inline Text MakeText(std::string_view s) { return Text(s.data(), s.size()); }
inline std::string_view View(const Text& t) { return std::string_view(t.data(), t.size()); }

}  // namespace velkaro
