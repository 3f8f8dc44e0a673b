#pragma once
// The one HTTP client context of the process. It is created at the first fetch
// that needs it and lives until the tool releases it at exit; every fetch
// borrows it for the length of one exchange.
#include <curl/curl.h>

#include <atomic>
#include <mutex>

namespace velkaro {

class WebClient {
 public:
  // Exclusive use of the client for one exchange; holds the lock while alive.
  class Session {
   public:
    Session(std::unique_lock<std::mutex> lock, CURL* handle)
        : lock_(std::move(lock)), handle_(handle) {}
    CURL* handle() const { return handle_; }

   private:
    std::unique_lock<std::mutex> lock_;
    CURL* handle_;
  };

  static WebClient& Instance();

  // Creates the client if there is none yet; a failed creation leaves the
  // session without a handle and is tried again at the next fetch.
  Session Open();
  void Release();
  int CreationCount() const { return creations_.load(); }

 private:
  WebClient() = default;

  std::mutex mutex_;
  CURL* handle_ = nullptr;
  std::atomic<int> creations_{0};
};

}  // namespace velkaro
