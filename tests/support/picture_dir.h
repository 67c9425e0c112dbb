// A throw-away base directory for screens that load pictures: the built
// fonts linked in, and one-colour JPEG pictures written by the test.
#pragma once

#include <SDL.h>

#include <string>

namespace screen_test {

class PictureDir {
public:
  PictureDir();   // /tmp/tavix-pictures-XXXXXX/ with fonts/ linked in
  ~PictureDir();  // removes it and everything in it
  PictureDir(const PictureDir&) = delete;
  PictureDir& operator=(const PictureDir&) = delete;
  // Writes a w x h picture of one colour to <base>/<name>, making parent
  // directories; false (the reason in `why`) when it cannot.
  bool add(const std::string& name, int w, int h, Uint8 r, Uint8 g, Uint8 b, std::string* why = nullptr);
  const std::string& base() const { return base_; }  // with its trailing slash; "" if not made

private:
  std::string base_;
};

}  // namespace screen_test
