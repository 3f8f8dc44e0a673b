#pragma once
// The tool's only network facility: one HTTP/1.0 GET whose reply body, of any
// status, is the result. Failures are silent and give what arrived until then
// (empty when nothing did).
#include <cstddef>

#include "Text.h"

namespace velkaro {

// Bounds that keep a dead or hostile server from freezing the window forever
// or filling memory; the bytes received before a limit is hit are the result.
struct FetchLimits {
  long connectTimeoutSeconds = 10;
  long stallSeconds = 30;    // a reply that delivers nothing for this long is abandoned
  long totalSeconds = 120;   // the whole exchange, connecting included
  std::size_t maxBodyBytes = 64u << 20;
};

// Host names and paths longer than these are not sent at all.
inline constexpr std::size_t kMaxHostChars = 255;
inline constexpr std::size_t kMaxPathAndQueryChars = 2047;
// How large a piece of the body each read asks for.
inline constexpr std::size_t kMaxReadPieceBytes = 102400;
inline constexpr std::size_t kUnknownLengthReadPieceBytes = 10240;

ByteSet FetchUrl(const Text& address);
ByteSet FetchUrl(const Text& address, const FetchLimits& limits);

// Releases the HTTP client context; the tool calls it once, at exit. A later
// fetch would create a new one.
void ReleaseWebClient();

// How many times the HTTP client context has been created in this process.
int WebClientCreationCount();

// The read piece size for a reply that announces contentLength bytes (< 0 when
// it announces none): n + 1 bytes capped at kMaxReadPieceBytes, or
// kUnknownLengthReadPieceBytes when no usable length is known.
std::size_t ReadPieceBytes(long long contentLength);

}  // namespace velkaro
