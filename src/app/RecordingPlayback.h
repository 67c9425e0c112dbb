// What a recording shows without a device: the trace of the session (the
// lines --trace wrote while it ran) and the screen at a moment of it, made
// by the program's own parser and screen with no window on show.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct Recording;

// The recording's trace goes to write, some whole lines at a time.
void decodeRecording(const Recording& recording, const std::function<void(const std::string&)>& write);

struct RenderRequest {
  std::string pngPath;         // where the 640 x 384 screen is saved
  uint64_t atMs = UINT64_MAX;  // what had come by then is shown; all of it by default
  std::string imagesDir;       // pictures are looked for here first, as the program does
  bool verbose = false;        // each picture's folder on standard error
};

// Plays the unit's bytes and the link's losses up to atMs through the
// parser and the screen, as the live session did, and saves the screen as
// a PNG equal to the live session's F12 picture at that moment. False with
// `error` set when the screen cannot be made or saved.
bool renderRecording(const Recording& recording, const RenderRequest& request, std::string& error);
