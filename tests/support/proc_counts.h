// What the test process holds right now: open descriptors and threads, for
// tests that check that repeated connections leak neither.
#pragma once

#include <dirent.h>

namespace proc_counts {

inline int countEntries(const char* dir) {
  DIR* d = opendir(dir);
  int n = 0;
  while (d && readdir(d)) ++n;
  return d ? (closedir(d), n) : -1;
}

inline int openDescriptors() { return countEntries("/proc/self/fd"); }
inline int threadCount() { return countEntries("/proc/self/task"); }

}  // namespace proc_counts
