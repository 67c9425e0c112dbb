// Files for tests: a temporary directory removed with its contents, whole-file reads and writes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace app_test {

class TempDir {
public:
  TempDir() : path_(mkdtemp(pattern) ? pattern : "") {}
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  // The directory, without a trailing slash.
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
  char pattern[32] = "/tmp/tavix-app-XXXXXX";
  const std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline bool writeFile(const std::string& path, const std::string& content) {
  return static_cast<bool>(std::ofstream(path, std::ios::binary | std::ios::trunc) << content);
}

}  // namespace app_test
