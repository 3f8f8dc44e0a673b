#include "PictureServer.h"

#include <charconv>
#include <condition_variable>
#include <mutex>
#include <variant>

#include <sys/socket.h>

#include <httplib.h>

#include "OrderQuery.h"

namespace velkaro {
namespace {

Reply TextReply(int status, std::string message) {
  return {status, "text/plain; charset=utf-8", std::move(message) + "\n"};
}

Reply AnswerOrderPicture(std::string_view query, const ServiceOptions& options) {
  auto parsed = ParseOrderQuery(query);
  if (const auto* error = std::get_if<QueryError>(&parsed)) return TextReply(400, error->message);
  auto& order = std::get<OrderQuery>(parsed);
  const OrderDetails details{order.brandNumber, std::move(order.buyerName),
                             options.fixedDate.value_or(TodayLocal())};
  std::vector<std::uint8_t> jpeg = RenderOrderJpeg(details);
  if (jpeg.empty()) return TextReply(500, "the order picture could not be rendered");
  return {200, "image/jpeg", std::string(jpeg.begin(), jpeg.end())};
}

std::optional<int> ParsePort(std::string_view digits) {
  int port = -1;
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (ec != std::errc() || end != digits.data() + digits.size() || port < 0 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  if (text.find(':') == std::string_view::npos) {
    const auto port = ParsePort(text);
    if (!port) return std::nullopt;
    return ListenAddress{"127.0.0.1", *port};
  }
  std::string_view host;
  std::string_view port;
  if (text.starts_with('[')) {
    const std::size_t close = text.find("]:");
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const std::size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return std::nullopt;  // bare IPv6 needs brackets
  }
  const auto number = ParsePort(port);
  if (host.empty() || !number) return std::nullopt;
  return ListenAddress{std::string(host), *number};
}

std::string FormatListenAddress(const ListenAddress& address) {
  const bool v6 = address.host.find(':') != std::string::npos;
  return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

Reply AnswerRequest(std::string_view method, std::string_view target, const ServiceOptions& options) {
  const std::size_t question = target.find('?');
  const std::string_view path = target.substr(0, question);
  const std::string_view query =
      question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  if (path != kOrderPicturePath && path != kHealthPath) return TextReply(404, "not found");
  if (method != "GET" && method != "HEAD") return TextReply(405, "only GET and HEAD are allowed");
  if (path == kHealthPath) return TextReply(200, "ok");
  return AnswerOrderPicture(query, options);
}

struct PictureServer::Impl {
  ServiceOptions options;
  httplib::Server server;
  std::mutex mutex;
  std::condition_variable runEnded;
  bool stopRequested = false;
  bool inRun = false;
};

PictureServer::PictureServer(ServiceOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  httplib::Server& server = impl_->server;
  const std::size_t threads = impl_->options.workerThreads == 0 ? 1 : impl_->options.workerThreads;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  // The library's default also sets SO_REUSEPORT, which would let a second
  // service start on a port already in use and share its clients unseen.
  server.set_socket_options([](socket_t sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_read_timeout(impl_->options.readTimeout);
  server.set_write_timeout(impl_->options.writeTimeout);
  server.set_keep_alive_timeout(impl_->options.keepAliveTimeout.count());
  // Every request is answered here, before the library's own routing, so that
  // the raw target is judged by our strict decoder and any method gets an answer.
  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    Reply reply = AnswerRequest(req.method, req.target, impl_->options);
    res.status = reply.status;
    res.set_content(std::move(reply.body), reply.contentType);
    res.set_header("Cache-Control", "no-store");
    if (reply.status == 405) res.set_header("Allow", "GET, HEAD");
    // A refused request may come with a body we never read; do not read the
    // next request from the middle of it.
    if (reply.status != 200) res.set_header("Connection", "close");
    return httplib::Server::HandlerResponse::Handled;
  });
  // Requests the library itself refuses (a bad request line, an over-long
  // target) still get a short text body.
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) {
      res.set_content("request refused (status " + std::to_string(res.status) + ")\n",
                      "text/plain; charset=utf-8");
    }
  });
}

PictureServer::~PictureServer() { Stop(); }

std::optional<int> PictureServer::Bind(const ListenAddress& address) {
  if (address.port == 0) {
    const int port = impl_->server.bind_to_any_port(address.host);
    if (port <= 0) return std::nullopt;
    return port;
  }
  if (!impl_->server.bind_to_port(address.host, address.port)) return std::nullopt;
  return address.port;
}

bool PictureServer::Run() {
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->stopRequested) return true;
    impl_->inRun = true;
  }
  const bool ok = impl_->server.listen_after_bind();
  {
    std::lock_guard lock(impl_->mutex);
    impl_->inRun = false;
  }
  impl_->runEnded.notify_all();
  return ok;
}

void PictureServer::Stop() {
  std::unique_lock lock(impl_->mutex);
  impl_->stopRequested = true;
  // The library ignores a stop that comes before its loop has started, so
  // keep asking until Run has returned.
  while (impl_->inRun) {
    impl_->server.stop();
    impl_->runEnded.wait_for(lock, std::chrono::milliseconds(20));
  }
}

}  // namespace velkaro
