#include "DecodeForTest.h"

#ifdef VELKARO_HAVE_DECODE
#include "JpegDecoder.h"
#else
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#endif

namespace velkaro::testing {

#ifdef VELKARO_HAVE_DECODE

std::optional<DecodedSize> DecodeJpegSize(std::span<const std::uint8_t> bytes) {
  const auto raster = DecodeJpeg(bytes);
  if (!raster) return std::nullopt;
  return DecodedSize{raster->width, raster->height};
}

#else

namespace {
struct Error {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};
[[noreturn]] void Abandon(j_common_ptr info) { std::longjmp(reinterpret_cast<Error*>(info->err)->jump, 1); }
}  // namespace

std::optional<DecodedSize> DecodeJpegSize(std::span<const std::uint8_t> bytes) {
  jpeg_decompress_struct info;
  Error error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = Abandon;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(info.output_width) * info.output_components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows = row.data();
    jpeg_read_scanlines(&info, &rows, 1);
  }
  const DecodedSize size{static_cast<int>(info.output_width), static_cast<int>(info.output_height)};
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return size;
}

#endif

}  // namespace velkaro::testing
