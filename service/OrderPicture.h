#pragma once
// The order picture: a portrait purchase order made out to the buyer, drawn
// with Qt's painter and encoded as JPEG. Nothing here knows about HTTP, so
// benchmarks and tests call it directly.
//
// Painting needs a QGuiApplication (see PaintingContext.h) to exist for the
// whole time any thread renders.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

inline constexpr int kOrderPictureWidth = 748;
inline constexpr int kOrderPictureHeight = 996;

struct CalendarDate {
  int year = 2000;
  int month = 1;
  int day = 1;
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// "YYYY-MM-DD" with a real calendar day (leap years included), years 1900 to 9999.
std::optional<CalendarDate> ParseIsoDate(std::string_view text);
CalendarDate TodayLocal();

struct BrandInfo {
  std::string_view name;         // as the tool's drop-down shows it
  std::string_view latinName;
  std::string_view model;
  std::string_view price;        // already formatted, in yuan
};

// Brand numbers 1 to 11, the numbering the tool sends; nothing for others.
std::optional<BrandInfo> FindBrand(int brandNumber);

// A stable order number for a brand and name, the same on every run and
// machine: "VK" + brand + 12 digits from a hash of both.
std::string OrderNumber(int brandNumber, std::string_view buyerNameUtf8);

struct OrderDetails {
  int brandNumber = 1;
  std::string buyerName;  // valid UTF-8; empty leaves the buyer line blank
  CalendarDate date;
};

// The JPEG bytes of the order picture, or an empty vector when the brand is
// unknown or encoding fails. Same details give the same bytes. Safe to call
// from several threads at once.
std::vector<std::uint8_t> RenderOrderJpeg(const OrderDetails& details);

// The painted picture before encoding, 4 bytes a pixel (blue, green, red,
// 255), rows packed; empty when the brand is unknown.
std::vector<std::uint8_t> RenderOrderPixels(const OrderDetails& details);

}  // namespace velkaro
