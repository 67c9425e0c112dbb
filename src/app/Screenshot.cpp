#include "app/Screenshot.h"

#include <SDL_image.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "app/LinkDeadlines.h"
#include "input/human_inputs_intf.h"
#include "screen/edispSDL.h"

namespace {

const char kPicturesEntry[] = "XDG_PICTURES_DIR=";

std::string homeDir() {
  if (const char* home = std::getenv("HOME")) {
    return home;
  }
  const passwd* user = getpwuid(getuid());
  return user ? user->pw_dir : "";
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The value of the XDG_PICTURES_DIR line of user-dirs.dirs, "$HOME" replaced;
// empty when there is none.
std::string userDirsPictures(const std::string& home) {
  std::string config = environment("XDG_CONFIG_HOME");
  std::ifstream dirs((config.empty() ? home + "/.config" : config) + "/user-dirs.dirs");
  for (std::string line; std::getline(dirs, line);) {
    if (line.compare(0, sizeof kPicturesEntry - 1, kPicturesEntry) != 0) {
      continue;
    }
    std::string value = line.substr(sizeof kPicturesEntry - 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.compare(0, 5, "$HOME") == 0) {
      value = home + value.substr(5);
    }
    return value;
  }
  return "";
}

}  // namespace

std::string picturesDir() {
  const std::string home = homeDir();
  std::string dir = environment("XDG_PICTURES_DIR");
  if (dir.empty()) {
    dir = userDirsPictures(home);
  }
  return dir.empty() ? home + "/Pictures" : dir;
}

void ScreenshotKey::pass(edispSDL& screen, unsigned key, uint32_t nowMs) {
  if (key == KEY_F12) {
    save(screen, nowMs);
  } else if (noting && static_cast<int32_t>(nowMs - noteEndMs) >= 0) {
    screen.changeWindowTitle(usualTitle.c_str());
    noting = false;
  }
}

uint32_t ScreenshotKey::idleMs(uint32_t nowMs) const {
  if (!noting) return UINT32_MAX;
  return LinkDeadlines::msLeft(noteEndMs, nowMs);
}

// Named "tavixDisp-YYYYMMDD-HHMMSS.png", with "-2", "-3"... when that
// second already has a picture.
void ScreenshotKey::save(edispSDL& screen, uint32_t nowMs) {
  const std::string dir = picturesDir();
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "tavixDisp-%Y%m%d-%H%M%S", &local);
  std::string name = std::string(stamp) + ".png";
  std::error_code failure;
  for (int n = 2; std::filesystem::exists(dir + "/" + name, failure); ++n) {
    name = std::string(stamp) + "-" + std::to_string(n) + ".png";
  }
  std::filesystem::create_directories(dir, failure);

  SDL_Surface* shot = screen.captureScreen();
  const bool saved = shot && IMG_SavePNG(shot, (dir + "/" + name).c_str()) == 0;
  SDL_FreeSurface(shot);
  const std::string note = saved ? "Saved " + name : "Screenshot not saved: " + std::string(SDL_GetError());
  if (!saved) {
    std::fprintf(stderr, "tavixDisp: %s/%s: %s\n", dir.c_str(), name.c_str(), note.c_str());
  }
  if (!noting) {
    usualTitle = SDL_GetWindowTitle(screen.getWindow());
  }
  screen.changeWindowTitle(note.c_str());
  noting = true;
  noteEndMs = nowMs + kTitleNoteMs;
}
