// What the test process holds right now: open descriptors and threads, for
// tests that check that repeated connections leak neither.
#pragma once

#include <dirent.h>

namespace proc_counts {

inline int countEntries(const char* dir) {
  DIR* d = opendir(dir);
  if (!d) return -1;
  int n = 0;
  while (readdir(d) != nullptr) ++n;
  closedir(d);
  return n;
}

inline int openDescriptors() { return countEntries("/proc/self/fd"); }
inline int threadCount() { return countEntries("/proc/self/task"); }

}  // namespace proc_counts
