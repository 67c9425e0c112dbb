#include "app/WindowRules.h"

#include <cstdint>

namespace {

const int kDefaultWindowPosition = 40;
// Stored or requested window sizes beyond this many screens are not applied:
// a damaged preference file must not ask for a gigantic window.
const int kMaxScale = 16;

bool stored(const PreferenceMap& prefs, const char* name, uint32_t& value) {
  const auto entry = prefs.find(name);
  if (entry == prefs.end()) {
    return false;
  }
  value = entry->second;
  return true;
}

}  // namespace

WindowGeometry startWindow(const PreferenceMap& prefs) {
  WindowGeometry window{kDefaultWindowPosition, kDefaultWindowPosition, false, kScreenWidth, kScreenHeight, 1};
  uint32_t value = 0;
  if (stored(prefs, kPrefWindowX, value)) {
    window.x = static_cast<int>(value);
  }
  if (stored(prefs, kPrefWindowY, value)) {
    window.y = static_cast<int>(value);
  }
  uint32_t w = 0, h = 0;
  if (!stored(prefs, kPrefWindowW, w) || !stored(prefs, kPrefWindowH, h)) {
    return window;
  }
  if (w == 0 || h == 0 || w > uint32_t(kScreenWidth * kMaxScale) || h > uint32_t(kScreenHeight * kMaxScale)) {
    return window;
  }
  window.sized = true;
  window.w = static_cast<int>(w);
  window.h = static_cast<int>(h);
  window.scale = static_cast<int>(w / kScreenWidth);
  if (window.scale < 1) {
    window.scale = 1;
  }
  return window;
}

int snappedScale(int w, int h) {
  const int64_t across = (int64_t(w) + kScreenWidth / 2) / kScreenWidth;
  const int64_t down = (int64_t(h) + kScreenHeight / 2) / kScreenHeight;
  int64_t s = across < down ? across : down;
  if (s < 1) {
    s = 1;
  }
  if (s > kMaxScale) {
    s = kMaxScale;
  }
  return static_cast<int>(s);
}

void storeWindowMove(PreferenceMap& prefs, int x, int y) {
  prefs[kPrefWindowX] = static_cast<uint32_t>(x);
  prefs[kPrefWindowY] = static_cast<uint32_t>(y);
}

void storeWindowScale(PreferenceMap& prefs, int scale) {
  prefs[kPrefWindowW] = static_cast<uint32_t>(kScreenWidth * scale);
  prefs[kPrefWindowH] = static_cast<uint32_t>(kScreenHeight * scale);
}
