// velkaro-picture-service: renders the tool's order pictures on loopback.
//
//   velkaro-picture-service [--listen HOST:PORT] [--date YYYY-MM-DD] [--threads N]
//
// Once listening it prints "listening HOST:PORT" as the first line on
// standard output (with the real port when 0 was asked for) and serves until
// SIGTERM or SIGINT.
#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include "OrderPicture.h"
#include "PaintingContext.h"
#include "PictureServer.h"

namespace {

using velkaro::ListenAddress;
using velkaro::ServiceOptions;

constexpr int kExitUsage = 2;
constexpr int kExitCannotListen = 1;
constexpr std::size_t kMaxWorkerThreads = 256;

struct CommandLine {
  ListenAddress listen;
  ServiceOptions options;
};

void PrintUsage(std::FILE* to) {
  std::fputs(
      "usage: velkaro-picture-service [--listen HOST:PORT] [--date YYYY-MM-DD] [--threads N]\n"
      "  --listen   address to listen on (default 127.0.0.1:8631; port 0 picks a free one)\n"
      "  --date     the date printed on every order (default: today, local time)\n"
      "  --threads  requests served at once (default 16)\n",
      to);
}

// Returns false, after saying why on stderr, when the arguments are not usable.
bool ParseCommandLine(int argc, char** argv, CommandLine* out) {
  out->listen = *velkaro::ParseListenAddress(velkaro::kDefaultListenAddress);
  for (int i = 1; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      PrintUsage(stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "velkaro-picture-service: unknown or incomplete option '%s'\n", argv[i]);
      return false;
    }
    const std::string_view value = argv[++i];
    if (flag == "--listen") {
      const auto address = velkaro::ParseListenAddress(value);
      if (!address) {
        std::fprintf(stderr, "velkaro-picture-service: bad --listen address '%s'\n", argv[i]);
        return false;
      }
      out->listen = *address;
    } else if (flag == "--date") {
      out->options.fixedDate = velkaro::ParseIsoDate(value);
      if (!out->options.fixedDate) {
        std::fprintf(stderr, "velkaro-picture-service: bad --date '%s' (want YYYY-MM-DD)\n", argv[i]);
        return false;
      }
    } else if (flag == "--threads") {
      std::size_t n = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
      if (ec != std::errc() || end != value.data() + value.size() || n == 0 || n > kMaxWorkerThreads) {
        std::fprintf(stderr, "velkaro-picture-service: bad --threads '%s' (1 to 256)\n", argv[i]);
        return false;
      }
      out->options.workerThreads = n;
    } else {
      std::fprintf(stderr, "velkaro-picture-service: unknown option '%s'\n", argv[i]);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine commandLine;
  if (!ParseCommandLine(argc, argv, &commandLine)) {
    PrintUsage(stderr);
    return kExitUsage;
  }

  // Termination signals are taken by one thread with sigwait, so stopping is
  // ordinary code and not a signal handler; every thread started from here on
  // inherits the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);  // a client that hangs up must not end the service

  velkaro::PaintingContext painting;
  // The first picture loads fonts; do it now so the first client is not kept waiting.
  velkaro::RenderOrderJpeg({1, "", velkaro::TodayLocal()});

  velkaro::PictureServer server(commandLine.options);
  const auto port = server.Bind(commandLine.listen);
  if (!port) {
    std::fprintf(stderr, "velkaro-picture-service: cannot listen on %s\n",
                 velkaro::FormatListenAddress(commandLine.listen).c_str());
    return kExitCannotListen;
  }
  ListenAddress bound = commandLine.listen;
  bound.port = *port;
  std::printf("listening %s\n", velkaro::FormatListenAddress(bound).c_str());
  std::fflush(stdout);

  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
  });
  const bool ok = server.Run();
  // Run also ends on its own if the listening socket fails; wake the stopper then.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return ok ? 0 : kExitCannotListen;
}
