#pragma once
// The one HTTP client context of the process. It is made ready at the first
// fetch that needs it and lives until the tool releases it at exit. Each fetch
// borrows it for the length of one exchange and gets a request handle of its
// own, so that nothing of one exchange (connection, headers, parser state)
// can reach the next.
#include <curl/curl.h>

#include <atomic>
#include <mutex>

namespace velkaro {

class WebClient {
 public:
  // Exclusive use of the client for one exchange: holds the lock and a fresh
  // request handle, both given up when the session ends.
  class Session {
   public:
    Session(std::unique_lock<std::mutex> lock, CURL* handle)
        : lock_(std::move(lock)), handle_(handle) {}
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    CURL* handle() const { return handle_; }

   private:
    std::unique_lock<std::mutex> lock_;
    CURL* handle_;
  };

  static WebClient& Instance();

  // Makes the client ready if it is not yet; a failure leaves the session
  // without a handle, and the next fetch tries again.
  Session Open();
  void Release();
  int CreationCount() const { return creations_.load(); }

 private:
  WebClient() = default;

  std::mutex mutex_;
  bool ready_ = false;
  std::atomic<int> creations_{0};
};

}  // namespace velkaro
