#include "JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace velkaro {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return.
// We jump back to EncodeJpeg, whose frame holds nothing with a destructor
// between the setjmp and the jump.
struct EncoderError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void AbandonEncode(j_common_ptr info) {
  std::longjmp(reinterpret_cast<EncoderError*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

bool PixelsAreUsable(const PaintedPixels& p) {
  if (p.width <= 0 || p.height <= 0 || p.width > JPEG_MAX_DIMENSION ||
      p.height > JPEG_MAX_DIMENSION) {
    return false;
  }
  const std::uint64_t minRow = static_cast<std::uint64_t>(p.width) * 4;
  if (p.rowBytes < minRow) return false;
  const std::uint64_t needed = static_cast<std::uint64_t>(p.rowBytes) * (p.height - 1) + minRow;
  return p.bytes.size() >= needed;
}

// Converts one row from blue-green-red-unused to red-green-blue.
void RowToRgb(const std::uint8_t* src, int width, JSAMPLE* dst) {
  for (int x = 0; x < width; ++x, src += 4, dst += 3) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
  }
}

// Runs the compression; returns false if libjpeg gave up. Kept apart from
// EncodeJpeg so that the setjmp frame holds only plain data.
bool Compress(const PaintedPixels& p, int quality, JSAMPLE* rgbRow, unsigned char** out,
              unsigned long* outSize) {
  jpeg_compress_struct info;
  EncoderError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = AbandonEncode;
  error.manager.output_message = IgnoreMessage;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, outSize);
  info.image_width = static_cast<JDIMENSION>(p.width);
  info.image_height = static_cast<JDIMENSION>(p.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  for (int c = 0; c < info.num_components; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  info.optimize_coding = TRUE;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const std::uint8_t* src = p.bytes.data() + static_cast<std::size_t>(info.next_scanline) * p.rowBytes;
    RowToRgb(src, p.width, rgbRow);
    JSAMPROW row = rgbRow;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeJpeg(const PaintedPixels& pixels, int quality) {
  if (!PixelsAreUsable(pixels) || quality < 1 || quality > 100) return std::nullopt;
  std::vector<JSAMPLE> rgbRow(static_cast<std::size_t>(pixels.width) * 3);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  const bool ok = Compress(pixels, quality, rgbRow.data(), &out, &outSize);
  std::optional<std::vector<std::uint8_t>> result;
  if (ok && out != nullptr) result.emplace(out, out + outSize);
  std::free(out);
  return result;
}

}  // namespace velkaro
