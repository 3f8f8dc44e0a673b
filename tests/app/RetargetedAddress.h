#pragma once
// The window tests send the order request to a loopback server of their own
// instead of the configured picture service: same path and query, other host.
#include <string>

#include "LoopbackServer.h"
#include "PictureServiceHost.h"
#include "Text.h"

namespace velkaro::testing {

// "" when the address was not built for the configured service.
inline std::string RetargetedAddress(const Text& address, const LoopbackServer& server) {
  const std::string prefix = std::string("http://") + kPictureServiceHost;
  const std::string built(View(address));
  if (!built.starts_with(prefix)) return "";
  return server.Address(built.substr(prefix.size()));
}

}  // namespace velkaro::testing
