#include "WebClient.h"

namespace velkaro {

WebClient& WebClient::Instance() {
  static WebClient client;
  return client;
}

WebClient::Session WebClient::Open() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (handle_ == nullptr) {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return Session(std::move(lock), nullptr);
    handle_ = curl_easy_init();
    if (handle_ == nullptr) {
      curl_global_cleanup();
      return Session(std::move(lock), nullptr);
    }
    ++creations_;
  }
  return Session(std::move(lock), handle_);
}

void WebClient::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (handle_ == nullptr) return;
  curl_easy_cleanup(handle_);
  handle_ = nullptr;
  curl_global_cleanup();
}

}  // namespace velkaro
