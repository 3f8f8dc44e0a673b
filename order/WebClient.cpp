#include "WebClient.h"

namespace velkaro {

WebClient& WebClient::Instance() {
  static WebClient client;
  return client;
}

WebClient::Session::~Session() {
  if (handle_ != nullptr) curl_easy_cleanup(handle_);
}

// Debian's libcurl 7.88 can touch freed memory when a handle that has read a
// reply with folded header lines is reset and used again, so every exchange
// gets a handle of its own; creating one costs microseconds next to the
// connection it carries.
WebClient::Session WebClient::Open() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!ready_) {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return Session(std::move(lock), nullptr);
    ready_ = true;
    ++creations_;
  }
  return Session(std::move(lock), curl_easy_init());
}

void WebClient::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ready_) return;
  ready_ = false;
  curl_global_cleanup();
}

}  // namespace velkaro
