#pragma once
// Recognising a picture's format from its first 8 bytes, and nothing else.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace velkaro {

enum class PictureFormat { Bmp, Jpeg, Png, Ico, Cur, Gif, Pcx8, Pcx1 };

// Tests the recognition rows in their fixed order; nullopt for fewer than
// 8 bytes or when no row matches.
std::optional<PictureFormat> RecognizePictureFormat(std::span<const std::uint8_t> bytes);

// "BMP", "JPEG", "PNG", "ICO", "CUR", "GIF", "PCX8", "PCX1".
std::string_view PictureFormatName(PictureFormat format);

}  // namespace velkaro
