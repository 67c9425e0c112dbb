// A throw-away base directory for screens that load pictures: a link to the
// built fonts, and solid-colour JPEG pictures written by the test.
#pragma once

#include <SDL.h>

#include <string>

namespace screen_test {

class PictureDir {
public:
  PictureDir();   // creates /tmp/tavix-pictures-XXXXXX/ with fonts/ linked in
  ~PictureDir();  // removes the directory and everything in it
  PictureDir(const PictureDir&) = delete;
  PictureDir& operator=(const PictureDir&) = delete;

  // Writes a w x h picture of one colour to <base>/<name>, making parent
  // directories. False (with the reason in `why`) when it cannot.
  bool add(const std::string& name, int w, int h, Uint8 r, Uint8 g, Uint8 b, std::string* why = nullptr);
  // Base directory with its trailing slash ("" when it could not be made).
  const std::string& base() const { return base_; }

private:
  std::string base_;
};

}  // namespace screen_test
