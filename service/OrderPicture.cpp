#include "OrderPicture.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include "JpegEncoder.h"
#include "PaintingContext.h"

namespace velkaro {
namespace {

// Prices and models are part of the joke: plausible, round, and the same for
// every buyer of a brand.
constexpr std::array<BrandInfo, 11> kBrands = {{
    {"法拉利", "Ferrari", "SF90 Stradale", "4,988,000.00"},
    {"保时捷", "Porsche", "911 Turbo S", "2,588,000.00"},
    {"奔驰", "Mercedes-Benz", "Maybach S 680", "3,188,000.00"},
    {"保时捷918", "Porsche", "918 Spyder", "13,380,000.00"},
    {"特斯拉", "Tesla", "Model S Plaid", "1,029,900.00"},
    {"玛莎拉蒂", "Maserati", "MC20 Cielo", "2,688,000.00"},
    {"宝马", "BMW", "M8 Competition", "1,898,000.00"},
    {"宾利", "Bentley", "Continental GT Speed", "3,998,000.00"},
    {"路虎", "Land Rover", "Range Rover SV", "2,968,000.00"},
    {"阿斯顿马丁", "Aston Martin", "DBS Superleggera", "5,289,000.00"},
    {"兰博基尼", "Lamborghini", "Aventador SVJ", "7,388,000.00"},
}};

constexpr const char* kSellerName = "维尔卡罗汽车销售中心";
constexpr int kLatestYear = 9999;
constexpr int kEarliestYear = 1900;

const QColor kPaper(250, 247, 240);
const QColor kInk(31, 41, 55);
const QColor kMuted(107, 114, 128);
const QColor kNavy(20, 33, 61);
const QColor kGold(184, 146, 46);
const QColor kPaleGold(233, 216, 166);
const QColor kRowShade(243, 238, 226);
const QColor kSealRed(200, 16, 46, 215);
const QColor kStampRed(200, 16, 46);

// Where the painter's text goes; all sizes are in pixels of the 748 x 996 page.
constexpr double kLeft = 60;
constexpr double kRight = 688;
constexpr double kContentWidth = kRight - kLeft;
const QRectF kNameBox(kLeft, 318, kContentWidth, 150);
constexpr int kNameLargestPx = 64;
constexpr int kNameSingleLineSmallestPx = 30;
constexpr int kNameWrappedLargestPx = 30;
constexpr int kNameSmallestPx = 10;

QString U(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QFont PageFont(int pixelSize, bool bold = false, double letterSpacingPx = 0) {
  QFont font(QString::fromUtf8(PaintingContext::FontFamily()));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  if (letterSpacingPx != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacingPx);
  return font;
}

void DrawText(QPainter& p, const QRectF& box, int flags, const QString& text, const QFont& font,
              const QColor& color) {
  p.setFont(font);
  p.setPen(color);
  p.drawText(box, flags, text);
}

// Rotated text (stamp, seal, watermark) is filled as an outline, centred in
// its box by the font's metrics.
void DrawRotatedText(QPainter& p, const QRectF& box, const QString& text, const QFont& font,
                     const QColor& color) {
  const QFontMetricsF metrics(font);
  const double width = metrics.horizontalAdvance(text);
  const QPointF baseline(box.center().x() - width / 2,
                         box.center().y() + (metrics.ascent() - metrics.descent()) / 2);
  QPainterPath path;
  path.addText(baseline, font, text);
  p.fillPath(path, color);
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull) {
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

QString DateText(const CalendarDate& d) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d年%02d月%02d日", d.year, d.month, d.day);
  return QString::fromUtf8(buffer);
}

void PaintFrameAndHeader(QPainter& p) {
  p.fillRect(QRectF(0, 0, kOrderPictureWidth, kOrderPictureHeight), kPaper);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kGold, 2.5));
  p.drawRect(QRectF(22, 22, kOrderPictureWidth - 44, kOrderPictureHeight - 44));
  p.setPen(QPen(kGold, 0.8));
  p.drawRect(QRectF(28, 28, kOrderPictureWidth - 56, kOrderPictureHeight - 56));

  const QRectF band(32, 32, kOrderPictureWidth - 64, 150);
  p.fillRect(band, kNavy);
  p.setPen(QPen(kGold, 1.2));
  p.drawLine(QPointF(band.left() + 40, band.bottom() - 14), QPointF(band.right() - 40, band.bottom() - 14));
  DrawText(p, QRectF(band.left(), band.top() + 22, band.width(), 74), Qt::AlignCenter, U("购车订单"),
           PageFont(54, true, 14), kPaleGold);
  DrawText(p, QRectF(band.left(), band.top() + 98, band.width(), 30), Qt::AlignCenter,
           U("PURCHASE ORDER"), PageFont(18, false, 9), kGold);
}

void PaintOrderHeaderFields(QPainter& p, const OrderDetails& d) {
  const double mid = kLeft + kContentWidth / 2;
  DrawText(p, QRectF(kLeft, 200, kContentWidth / 2, 22), Qt::AlignLeft | Qt::AlignVCenter,
           U("订单编号  Order No."), PageFont(14), kMuted);
  DrawText(p, QRectF(kLeft, 224, kContentWidth / 2, 30), Qt::AlignLeft | Qt::AlignVCenter,
           U(OrderNumber(d.brandNumber, d.buyerName)), PageFont(21, true), kInk);
  DrawText(p, QRectF(mid, 200, kContentWidth / 2, 22), Qt::AlignRight | Qt::AlignVCenter,
           U("下单日期  Date"), PageFont(14), kMuted);
  DrawText(p, QRectF(mid, 224, kContentWidth / 2, 30), Qt::AlignRight | Qt::AlignVCenter,
           DateText(d.date), PageFont(21, true), kInk);
  p.setPen(QPen(kGold, 1.2));
  p.drawLine(QPointF(kLeft, 272), QPointF(kRight, 272));
}

// The largest font at which the name fits its box: on one line if it can be
// read that way, otherwise wrapped anywhere; at the smallest size what still
// does not fit is cut off with an ellipsis.
struct NameLayout {
  QFont font;
  int flags = 0;
  QString text;
};

NameLayout FitName(const QString& name) {
  for (int px = kNameLargestPx; px >= kNameSingleLineSmallestPx; px -= 2) {
    const QFont font = PageFont(px, true);
    if (QFontMetricsF(font).horizontalAdvance(name) <= kNameBox.width()) {
      return {font, Qt::AlignCenter | Qt::TextSingleLine, name};
    }
  }
  const int wrap = Qt::AlignCenter | Qt::TextWrapAnywhere;
  for (int px = kNameWrappedLargestPx; px > kNameSmallestPx; px -= 2) {
    const QFont font = PageFont(px, true);
    const QRectF needed = QFontMetricsF(font).boundingRect(kNameBox, wrap, name);
    if (needed.height() <= kNameBox.height() && needed.width() <= kNameBox.width()) {
      return {font, wrap, name};
    }
  }
  const QFont font = PageFont(kNameSmallestPx, true);
  const QFontMetricsF metrics(font);
  const int lines = static_cast<int>(kNameBox.height() / metrics.lineSpacing());
  const QString cut = metrics.elidedText(name, Qt::ElideRight, kNameBox.width() * lines * 0.95);
  return {font, wrap, cut};
}

void PaintBuyer(QPainter& p, const OrderDetails& d) {
  DrawText(p, QRectF(kLeft, 288, kContentWidth, 24), Qt::AlignLeft | Qt::AlignVCenter,
           U("购车人  Buyer"), PageFont(15), kMuted);
  if (!d.buyerName.empty()) {
    const NameLayout layout = FitName(U(d.buyerName));
    DrawText(p, kNameBox, layout.flags, layout.text, layout.font, kInk);
  }
  QPen dotted(kMuted, 1.0, Qt::DotLine);
  p.setPen(dotted);
  p.drawLine(QPointF(kLeft, kNameBox.bottom() + 6), QPointF(kRight, kNameBox.bottom() + 6));
}

void PaintDetailRows(QPainter& p, const BrandInfo& brand) {
  const std::array<std::pair<const char*, QString>, 4> rows = {{
      {"品牌  Brand", U(brand.name) + QStringLiteral("   ") + U(brand.latinName)},
      {"车型  Model", U(brand.model)},
      {"数量  Quantity", U("1 台")},
      {"成交价  Price", U("￥ ") + U(brand.price)},
  }};
  double y = 496;
  constexpr double kRowHeight = 50;
  for (std::size_t i = 0; i < rows.size(); ++i, y += kRowHeight) {
    if (i % 2 == 0) p.fillRect(QRectF(kLeft, y, kContentWidth, kRowHeight), kRowShade);
    DrawText(p, QRectF(kLeft + 14, y, 190, kRowHeight), Qt::AlignLeft | Qt::AlignVCenter, U(rows[i].first),
             PageFont(15), kMuted);
    const bool isPrice = i + 1 == rows.size();
    DrawText(p, QRectF(kLeft + 210, y, kContentWidth - 224, kRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
             rows[i].second, PageFont(isPrice ? 24 : 21, true), kInk);
  }
  p.setPen(QPen(kGold, 1.2));
  p.drawLine(QPointF(kLeft, y + 10), QPointF(kRight, y + 10));
}

void PaintPaidStamp(QPainter& p) {
  DrawText(p, QRectF(kLeft + 14, 724, 190, 70), Qt::AlignLeft | Qt::AlignVCenter, U("付款状态  Payment"),
           PageFont(15), kMuted);
  p.save();
  p.translate(kLeft + 300, 759);
  p.rotate(-4);
  const QRectF box(-96, -34, 192, 68);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kStampRed, 3.5));
  p.drawRoundedRect(box, 8, 8);
  p.setPen(QPen(kStampRed, 1.2));
  p.drawRoundedRect(box.adjusted(6, 6, -6, -6), 5, 5);
  DrawRotatedText(p, box.adjusted(0, 4, 0, -18), U("已付全款"), PageFont(32, true, 4), kStampRed);
  DrawRotatedText(p, box.adjusted(0, 44, 0, -8), U("PAID IN FULL"), PageFont(10, true, 3), kStampRed);
  p.restore();
}

QPolygonF StarPolygon(double outer, double inner) {
  QPolygonF star;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 == 0 ? outer : inner;
    const double a = -M_PI / 2 + i * M_PI / 5;
    star << QPointF(r * std::cos(a), r * std::sin(a));
  }
  return star;
}

// A round company seal: double ring, the seller's name along the top arc, a
// star, and the purpose of the seal underneath.
void PaintSeal(QPainter& p, const QPointF& centre) {
  constexpr double kRadius = 80;
  p.save();
  p.translate(centre);
  p.rotate(8);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kSealRed, 4.5));
  p.drawEllipse(QPointF(0, 0), kRadius, kRadius);
  p.setPen(QPen(kSealRed, 1.2));
  p.drawEllipse(QPointF(0, 0), kRadius - 7, kRadius - 7);
  p.setPen(Qt::NoPen);
  p.setBrush(kSealRed);
  p.drawPolygon(StarPolygon(22, 9));

  const QString arc = U(kSellerName);
  constexpr double kSpanDegrees = 230;
  const QFont arcFont = PageFont(17, true);
  for (qsizetype i = 0; i < arc.size(); ++i) {
    const double angle = -kSpanDegrees / 2 + kSpanDegrees * (static_cast<double>(i) + 0.5) / arc.size();
    p.save();
    p.rotate(angle);
    DrawRotatedText(p, QRectF(-12, -kRadius + 9, 24, 22), arc.mid(i, 1), arcFont, kSealRed);
    p.restore();
  }
  DrawRotatedText(p, QRectF(-50, 26, 100, 22), U("订单专用章"), PageFont(15, true), kSealRed);
  p.restore();
}

void PaintSellerAndFooter(QPainter& p) {
  DrawText(p, QRectF(kLeft + 14, 826, 190, 30), Qt::AlignLeft | Qt::AlignVCenter, U("销售方  Seller"),
           PageFont(15), kMuted);
  DrawText(p, QRectF(kLeft + 210, 826, 360, 30), Qt::AlignLeft | Qt::AlignVCenter, U(kSellerName),
           PageFont(20, true), kInk);
  PaintSeal(p, QPointF(kRight - 120, 830));
  DrawText(p, QRectF(32, kOrderPictureHeight - 78, kOrderPictureWidth - 64, 24), Qt::AlignCenter,
           U("仅供娱乐 · For entertainment only · 非真实购车凭证"), PageFont(13), kMuted);
}

// The brand's Latin name, faint and slanted behind the page, so that the
// picture reads as a brand's order at a glance.
void PaintWatermark(QPainter& p, const BrandInfo& brand) {
  p.save();
  p.translate(kOrderPictureWidth / 2.0, 560);
  p.rotate(-28);
  QColor faint = kGold;
  faint.setAlpha(22);
  DrawRotatedText(p, QRectF(-500, -60, 1000, 120), U(brand.latinName).toUpper(), PageFont(84, true, 6),
                  faint);
  p.restore();
}

QImage PaintOrderHere(const OrderDetails& d) {
  const auto brand = FindBrand(d.brandNumber);
  if (!brand) return {};
  QImage image(kOrderPictureWidth, kOrderPictureHeight, QImage::Format_RGB32);
  if (image.isNull()) return {};
  QPainter p(&image);
  p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
  PaintFrameAndHeader(p);
  PaintWatermark(p, *brand);
  PaintOrderHeaderFields(p, d);
  PaintBuyer(p, d);
  PaintDetailRows(p, *brand);
  PaintPaidStamp(p);
  PaintSellerAndFooter(p);
  p.end();
  return image;
}

// Qt keeps font engines and glyph outlines per thread, and what a thread has
// drawn before changes, by a few grey levels, how it draws outlined text
// later. Each page is therefore painted on a thread of its own, which starts
// with no font state at all: the same order gives the same bytes however
// many different ones a worker has rendered before.
QImage PaintOrder(const OrderDetails& d) {
  QImage image;
  std::thread painter([&] { image = PaintOrderHere(d); });
  painter.join();
  return image;
}

}  // namespace

std::optional<CalendarDate> ParseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const auto number = [&](std::size_t at, std::size_t len) -> std::optional<int> {
    int value = 0;
    const char* first = text.data() + at;
    for (std::size_t i = 0; i < len; ++i) {
      if (first[i] < '0' || first[i] > '9') return std::nullopt;
    }
    std::from_chars(first, first + len, value);
    return value;
  };
  const auto y = number(0, 4), m = number(5, 2), d = number(8, 2);
  if (!y || !m || !d || *y < kEarliestYear || *y > kLatestYear || *m < 1 || *m > 12) return std::nullopt;
  if (*d < 1 || *d > DaysInMonth(*y, *m)) return std::nullopt;
  return CalendarDate{*y, *m, *d};
}

CalendarDate TodayLocal() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::optional<BrandInfo> FindBrand(int brandNumber) {
  if (brandNumber < 1 || brandNumber > static_cast<int>(kBrands.size())) return std::nullopt;
  return kBrands[static_cast<std::size_t>(brandNumber - 1)];
}

std::string OrderNumber(int brandNumber, std::string_view buyerNameUtf8) {
  const std::string brandKey = std::to_string(brandNumber) + "|";
  const std::uint64_t digits = Fnv1a(buyerNameUtf8, Fnv1a(brandKey)) % 1000000000000ull;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "VK%02d-%04llu-%04llu-%04llu", brandNumber % 100,
                static_cast<unsigned long long>(digits / 100000000), 
                static_cast<unsigned long long>(digits / 10000 % 10000),
                static_cast<unsigned long long>(digits % 10000));
  return buffer;
}

std::vector<std::uint8_t> RenderOrderPixels(const OrderDetails& details) {
  const QImage image = PaintOrder(details);
  if (image.isNull()) return {};
  std::vector<std::uint8_t> pixels;
  const std::size_t row = static_cast<std::size_t>(image.width()) * 4;
  pixels.reserve(row * static_cast<std::size_t>(image.height()));
  for (int y = 0; y < image.height(); ++y) {
    const uchar* line = image.constScanLine(y);
    pixels.insert(pixels.end(), line, line + row);
  }
  return pixels;
}

std::vector<std::uint8_t> RenderOrderJpeg(const OrderDetails& details) {
  const QImage image = PaintOrder(details);
  if (image.isNull()) return {};
  const PaintedPixels pixels{image.width(), image.height(), static_cast<std::size_t>(image.bytesPerLine()),
                             std::span<const std::uint8_t>(image.constBits(),
                                                           static_cast<std::size_t>(image.sizeInBytes()))};
  return EncodeJpeg(pixels, kOrderJpegQuality).value_or(std::vector<std::uint8_t>());
}

}  // namespace velkaro
