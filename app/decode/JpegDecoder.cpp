#include "JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "PictureLimits.h"

namespace velkaro {

namespace {

constexpr std::size_t kSourcePieceBytes = 4096;
// Real progressive files have about ten scans; a file with thousands of tiny
// scans would make the library walk the whole image once per scan.
constexpr int kMaxScans = 1000;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

// libjpeg reports errors through error_exit, which must not return; it jumps
// back to the setjmp of the stage that called into the library. Everything
// that lives between the two is plain C data, so nothing is left undestroyed.
struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

struct MemorySource {
  jpeg_source_mgr manager;
  const JOCTET* data;
  std::size_t size;
  std::size_t position;
};

struct Session {
  jpeg_decompress_struct info;
  ErrorTrap trap;
  MemorySource source;
  jpeg_progress_mgr progress;
};

[[noreturn]] void AbandonDecode(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Hands the stored bytes over in pieces without copying them; once they run
// out, an end-of-image marker, so a cut-off file ends as if complete.
boolean FillInputBuffer(j_decompress_ptr info) {
  auto* source = reinterpret_cast<MemorySource*>(info->src);
  if (source->position < source->size) {
    const std::size_t n = std::min(kSourcePieceBytes, source->size - source->position);
    source->manager.next_input_byte = source->data + source->position;
    source->manager.bytes_in_buffer = n;
    source->position += n;
  } else {
    source->manager.next_input_byte = kEndOfImage;
    source->manager.bytes_in_buffer = sizeof kEndOfImage;
  }
  return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  auto* source = reinterpret_cast<MemorySource*>(info->src);
  const auto n = static_cast<std::size_t>(count);
  if (n <= source->manager.bytes_in_buffer) {
    source->manager.next_input_byte += n;
    source->manager.bytes_in_buffer -= n;
    return;
  }
  const std::size_t beyond = n - source->manager.bytes_in_buffer;
  source->position += std::min(beyond, source->size - source->position);
  source->manager.bytes_in_buffer = 0;
}

void LimitScans(j_common_ptr info) {
  if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
    AbandonDecode(info);
  }
}

void SetUp(Session& s, std::span<const std::uint8_t> data) {
  s.info.err = jpeg_std_error(&s.trap.manager);
  s.trap.manager.error_exit = AbandonDecode;
  s.trap.manager.emit_message = IgnoreMessage;
  s.trap.manager.output_message = IgnoreOutput;
  s.source.manager.init_source = InitSource;
  s.source.manager.fill_input_buffer = FillInputBuffer;
  s.source.manager.skip_input_data = SkipInputData;
  s.source.manager.resync_to_restart = jpeg_resync_to_restart;
  s.source.manager.term_source = TermSource;
  s.source.manager.next_input_byte = nullptr;
  s.source.manager.bytes_in_buffer = 0;
  s.source.data = data.data();
  s.source.size = data.size();
  s.source.position = 0;
  s.progress.progress_monitor = LimitScans;
}

// Colour and grey pictures come out of the library as blue, green, red and
// 255, straight into the raster's rows: the same colour conversion it makes
// for RGB, so the pixels are those of RGB rows reordered, without a second
// pass over the picture. CMYK and YCCK keep their ink and are converted here.
void AskForBgra(jpeg_decompress_struct& info) {
#ifdef JCS_EXTENSIONS
  if (info.out_color_space == JCS_RGB || info.out_color_space == JCS_GRAYSCALE) {
    info.out_color_space = JCS_EXT_BGRA;
  }
#else
  (void)info;
#endif
}

bool WritesBgra(const jpeg_decompress_struct& info) {
#ifdef JCS_EXTENSIONS
  return info.out_color_space == JCS_EXT_BGRA;
#else
  (void)info;
  return false;
#endif
}

// The stages below call into libjpeg under a setjmp of their own and hold no
// object with a destructor.
bool CreateAndReadHeader(Session& s) {
  if (setjmp(s.trap.jump)) return false;
  jpeg_create_decompress(&s.info);
  s.info.src = &s.source.manager;
  s.info.progress = &s.progress;
  jpeg_read_header(&s.info, TRUE);
  AskForBgra(s.info);
  jpeg_calc_output_dimensions(&s.info);
  return true;
}

void ConvertRow(const JSAMPLE* src, int width, int components, bool invertedInk, std::uint8_t* dst) {
  switch (components) {
    case 3:
      for (int x = 0; x < width; ++x, src += 3, dst += 4) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = 255;
      }
      break;
    case 1:
      for (int x = 0; x < width; ++x, dst += 4) {
        dst[0] = dst[1] = dst[2] = src[x];
        dst[3] = 255;
      }
      break;
    default:  // 4: CMYK
      for (int x = 0; x < width; ++x, src += 4, dst += 4) {
        const unsigned k = invertedInk ? src[3] : 255u - src[3];
        for (int c = 0; c < 3; ++c) {
          const unsigned v = invertedInk ? src[c] : 255u - src[c];
          dst[2 - c] = static_cast<std::uint8_t>(v * k / 255);
        }
        dst[3] = 255;
      }
      break;
  }
}

bool ReadRows(Session& s, JSAMPLE* scanline, Raster& out) {
  if (setjmp(s.trap.jump)) return false;
  jpeg_start_decompress(&s.info);
  const int components = s.info.output_components;
  const bool invertedInk = s.info.saw_Adobe_marker;
  const bool direct = WritesBgra(s.info);
  while (s.info.output_scanline < s.info.output_height) {
    const int y = static_cast<int>(s.info.output_scanline);
    JSAMPROW row = direct ? out.Row(y) : scanline;
    if (jpeg_read_scanlines(&s.info, &row, 1) != 1) return false;
    if (!direct) ConvertRow(scanline, out.width, components, invertedInk, out.Row(y));
  }
  jpeg_finish_decompress(&s.info);
  return true;
}

bool DestroySession(Session& s) {
  if (setjmp(s.trap.jump)) return false;
  jpeg_destroy_decompress(&s.info);
  return true;
}

}  // namespace

std::optional<Raster> DecodeJpeg(std::span<const std::uint8_t> data) {
  Session session{};
  SetUp(session, data);
  std::optional<Raster> result;
  if (CreateAndReadHeader(session)) {
    const std::int64_t width = session.info.output_width;
    const std::int64_t height = session.info.output_height;
    const int components = session.info.output_components;
    if (PictureSizeAllowed(width, height) && (components == 1 || components == 3 || components == 4)) {
      // Only pictures the library cannot write as BGRA need a row of their own.
      std::vector<JSAMPLE> scanline(WritesBgra(session.info) ? 0
                                                             : static_cast<std::size_t>(width) *
                                                                   static_cast<std::size_t>(components));
      Raster out = MakeRaster(static_cast<int>(width), static_cast<int>(height));
      if (ReadRows(session, scanline.data(), out)) result = std::move(out);
    }
  }
  DestroySession(session);
  return result;
}

}  // namespace velkaro
