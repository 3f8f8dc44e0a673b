#include "WebLinks.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace velkaro {
namespace {

constexpr char kShell[] = "/bin/sh";
// The address arrives as "$1", so the shell never interprets it. The opener
// runs in the background, so the browser is never waited for; the short-lived
// shell is reaped at once and the opener then belongs to init, not to us.
constexpr char kOpenerScript[] = "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &";
constexpr char kScriptName[] = "sh";
constexpr int kFirstInheritableFd = 3;

void WaitForShell(pid_t shell) {
  int status = 0;
  while (::waitpid(shell, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

void OpenWebAddress(const Text& address) {
  if (address.find('\0') != Text::npos) return;
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  // The browser inherits none of our descriptors (sockets, open files).
  posix_spawn_file_actions_addclosefrom_np(&actions, kFirstInheritableFd);
  char* const argv[] = {const_cast<char*>(kShell), const_cast<char*>("-c"),
                        const_cast<char*>(kOpenerScript), const_cast<char*>(kScriptName),
                        const_cast<char*>(address.c_str()), nullptr};
  pid_t shell = 0;
  const int spawned = posix_spawn(&shell, kShell, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0) WaitForShell(shell);
}

void OnSiteLinkPressed() { OpenWebAddress(MakeText(kSiteAddress)); }

void OnGroupLinkPressed() { OpenWebAddress(MakeText(kGroupInviteAddress)); }

}  // namespace velkaro
