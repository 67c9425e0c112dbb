// A forked child with a mount namespace of its own, where a test can change what paths show
// (bind mounts) without touching the machine. Linux only, and only for root.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#endif

namespace app_test {

// Exit status with which a child says its surroundings could not be set up.
constexpr int kCannotSetUp = 255;

// Runs body in the child and gives back its exit status; -1 when no private mount namespace
// could be had or body answered kCannotSetUp, 256 when the child did not exit.
inline int inPrivateMounts(const std::function<int()>& body) {
#ifdef __linux__
  if (geteuid() != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    const bool isolated = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    _exit(isolated ? body() : kCannotSetUp);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  if (!WIFEXITED(status)) return 256;
  return WEXITSTATUS(status) == kCannotSetUp ? -1 : WEXITSTATUS(status);
#else
  (void)body;
  return -1;
#endif
}

// Shows source at target (both existing paths); read-only on request.
inline bool bindMount(const std::string& source, const std::string& target, bool readOnly = false) {
#ifdef __linux__
  return mount(source.c_str(), target.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
         (!readOnly || mount(nullptr, target.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0);
#else
  (void)source, (void)target, (void)readOnly;
  return false;
#endif
}

}  // namespace app_test
