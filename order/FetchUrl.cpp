#include "FetchUrl.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <optional>
#include <string_view>

#include "WebClient.h"

namespace velkaro {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr char kAcceptHeader[] = "Accept: */*";
constexpr char kAllowedProtocols[] = "http,https";
constexpr long kMaxRedirects = 10;
using Clock = std::chrono::steady_clock;

struct AddressParts {
  std::string_view host;
  std::string_view pathAndQuery;
};

bool IsWebScheme(std::string_view scheme) {
  auto equalsIgnoringCase = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) == y;
           });
  };
  return equalsIgnoringCase(scheme, "http") || equalsIgnoringCase(scheme, "https");
}

std::string_view HostOfAuthority(std::string_view authority) {
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (!authority.empty() && authority.front() == '[') {
    return authority.substr(0, authority.find(']') + 1);
  }
  return authority.substr(0, authority.find(':'));
}

std::optional<AddressParts> SplitAddress(std::string_view address) {
  const std::size_t schemeEnd = address.find("://");
  if (schemeEnd == std::string_view::npos || !IsWebScheme(address.substr(0, schemeEnd))) {
    return std::nullopt;
  }
  std::string_view rest = address.substr(schemeEnd + 3);
  const std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
  AddressParts parts;
  parts.host = HostOfAuthority(rest.substr(0, authorityEnd));
  rest.remove_prefix(authorityEnd);
  // The fragment never goes on the wire; an empty path goes as "/".
  parts.pathAndQuery = rest.substr(0, rest.find('#'));
  if (parts.pathAndQuery.empty()) parts.pathAndQuery = "/";
  return parts;
}

bool WithinLimits(const AddressParts& parts) {
  return !parts.host.empty() && parts.host.size() <= kMaxHostChars &&
         parts.pathAndQuery.size() <= kMaxPathAndQueryChars;
}

struct Transfer {
  ByteSet body;
  std::size_t maxBodyBytes = 0;
  long long contentLength = -1;
  Clock::duration stallLimit{};
  Clock::time_point lastArrival = Clock::now();
};

// Called by the client about once a second and whenever data moves; a non-zero
// return abandons the exchange. Counting from the last byte that arrived gives
// an exact stall limit, unlike an average speed over a window.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto& transfer = *static_cast<const Transfer*>(user);
  return Clock::now() - transfer.lastArrival > transfer.stallLimit ? 1 : 0;
}

std::optional<long long> ParseContentLength(std::string_view line) {
  constexpr std::string_view kName = "content-length:";
  if (line.size() < kName.size()) return std::nullopt;
  for (std::size_t i = 0; i < kName.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != kName[i]) return std::nullopt;
  }
  line.remove_prefix(kName.size());
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  long long value = -1;
  const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
  if (error != std::errc() || end == line.data()) return -1;
  return value;
}

std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  transfer.lastArrival = Clock::now();
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    // A new reply begins (after a redirect): only the final reply's body counts.
    transfer.body.clear();
    transfer.contentLength = -1;
  } else if (const auto length = ParseContentLength(line)) {
    transfer.contentLength = *length;
  }
  return size * count;
}

std::size_t OnBodyPiece(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t delivered = size * count;
  transfer.lastArrival = Clock::now();
  if (transfer.body.empty()) {
    const std::size_t expected = ReadPieceBytes(transfer.contentLength);
    transfer.body.reserve(std::min(expected, transfer.maxBodyBytes));
  }
  const std::size_t room = transfer.maxBodyBytes - transfer.body.size();
  const std::size_t taken = std::min(room, delivered);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
  transfer.body.insert(transfer.body.end(), bytes, bytes + taken);
  // Returning less than was delivered stops the transfer at the byte cap.
  return taken;
}

struct HeaderList {
  curl_slist* list = nullptr;
  ~HeaderList() { curl_slist_free_all(list); }
};

void SetRequestOptions(CURL* curl, const char* address, const curl_slist* headers) {
  curl_easy_setopt(curl, CURLOPT_URL, address);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  // The address was built already escaped; it must go out byte for byte.
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
}

void SetConnectionOptions(CURL* curl, const FetchLimits& limits) {
  // Direct connections only: a proxy from the environment is not ours to use.
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  // Nothing lasts from one fetch to the next: no connection, no name lookup.
  curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, limits.totalSeconds);
  // No single read delivers more than the largest piece we ask for.
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kMaxReadPieceBytes));
}

void SetReceiveOptions(CURL* curl, Transfer& transfer) {
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeaderLine);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBodyPiece);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

ByteSet Exchange(CURL* curl, const Text& address, const FetchLimits& limits) {
  HeaderList headers;
  headers.list = curl_slist_append(nullptr, kAcceptHeader);
  if (headers.list == nullptr) return {};
  Transfer transfer;
  transfer.maxBodyBytes = limits.maxBodyBytes;
  transfer.stallLimit = std::chrono::seconds(limits.stallSeconds);
  SetRequestOptions(curl, address.c_str(), headers.list);
  SetConnectionOptions(curl, limits);
  SetReceiveOptions(curl, transfer);
  // Whatever the outcome, the bytes that arrived are the result; the client
  // drops the bodies of redirects it follows or refuses to follow.
  curl_easy_perform(curl);
  return std::move(transfer.body);
}

}  // namespace

std::size_t ReadPieceBytes(long long contentLength) {
  if (contentLength < 1) return kUnknownLengthReadPieceBytes;
  if (contentLength >= static_cast<long long>(kMaxReadPieceBytes)) return kMaxReadPieceBytes;
  return static_cast<std::size_t>(contentLength) + 1;
}

ByteSet FetchUrl(const Text& address, const FetchLimits& limits) {
  if (address.find('\0') != Text::npos) return {};
  const std::optional<AddressParts> parts = SplitAddress(View(address));
  if (!parts || !WithinLimits(*parts)) return {};
  WebClient::Session session = WebClient::Instance().Open();
  if (session.handle() == nullptr) return {};
  return Exchange(session.handle(), address, limits);
}

ByteSet FetchUrl(const Text& address) { return FetchUrl(address, FetchLimits{}); }

void ReleaseWebClient() { WebClient::Instance().Release(); }

int WebClientCreationCount() { return WebClient::Instance().CreationCount(); }

}  // namespace velkaro
