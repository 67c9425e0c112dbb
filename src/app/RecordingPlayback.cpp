#include "app/RecordingPlayback.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstdio>

#include "app/LinkDownScreen.h"
#include "app/PictureFolders.h"
#include "app/Prefs.h"
#include "app/Recording.h"
#include "app/programFolder.h"
#include "screen/ScreenPlacement.h"
#include "protocol/EscSeqParser.h"
#include "protocol/StreamTrace.h"
#include "screen/edispSDL.h"

void decodeRecording(const Recording& recording, const std::function<void(const std::string&)>& write) {
  const std::size_t kLinesPerWrite = 64 * 1024;
  StreamTrace trace(nullptr);
  EscSeqParser parser(&trace);
  parser.setObserver(&trace);
  for (const Recording::Event& event : recording.events) {
    switch (event.kind) {
      case Recording::Event::FromUnit:
        for (unsigned char byte : event.bytes) trace.parse(parser, byte, event.ms);
        trace.chunkParsed();
        break;
      case Recording::Event::Discarded:
        trace.discarded(event.bytes, event.ms);
        break;
      case Recording::Event::ToUnit:
        trace.toUnit(reinterpret_cast<const unsigned char*>(event.bytes.data()), event.bytes.size(), event.ms);
        break;
      case Recording::Event::Opened:
        trace.opened(recording.device, recording.speed, event.ms);
        break;
      case Recording::Event::Reconnected:
        trace.reconnected(recording.device, event.ms);
        break;
      case Recording::Event::Lost:
        trace.lost(event.ms);
        break;
    }
    if (trace.lines().size() >= kLinesPerWrite) {
      write(trace.lines());
      trace.lines().clear();
    }
  }
  if (!trace.lines().empty()) write(trace.lines());
}

namespace {

// The parser's and the screen's part of a recording, up to atMs.
void play(const Recording& recording, uint64_t atMs, edispSDL& screen) {
  EscSeqParser parser(&screen);
  screen.stopUpdate();
  for (const Recording::Event& event : recording.events) {
    if (event.ms > atMs) break;
    if (event.kind == Recording::Event::FromUnit) {
      for (unsigned char byte : event.bytes) parser.ParseByte(byte);
    } else if (event.kind == Recording::Event::Lost) {
      // The reopening is tried at once.
      showLinkLost(screen);
      showReconnecting(screen);
    }
  }
}

}  // namespace

bool renderRecording(const Recording& recording, const RenderRequest& request, std::string& error) {
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
  SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_CRITICAL);
  bool saved = false;
  if (SDL_Init(SDL_INIT_VIDEO) != 0 || TTF_Init() != 0 || (IMG_Init(IMG_INIT_JPG) & IMG_INIT_JPG) == 0) {
    error = std::string("cannot start the media libraries: ") + SDL_GetError();
  } else {
    const std::string basePath = programFolder();
    edispSDL screen("tavixSim", 0, 0, kScreenWidth, kScreenHeight, basePath.c_str(),
                    [&error](const char* what, const char* why) { error = std::string(what) + ": " + why; });
    PictureFolders folders(PictureFolders::usual(request.imagesDir, prefsDirectory(Settings()), basePath),
                           [&request](const std::string& text) {
                             if (request.verbose) std::fprintf(stderr, "tavixSim: %s\n", text.c_str());
                           });
    screen.setPictureLookup([&folders](const std::string& name) { return folders.find(name); });
    if (screen.initialized) {
      play(recording, request.atMs, screen);
      SDL_Surface* shot = screen.captureScreen();
      saved = shot && IMG_SavePNG(shot, request.pngPath.c_str()) == 0;
      if (!saved) error = request.pngPath + ": " + SDL_GetError();
      SDL_FreeSurface(shot);
    }
  }
  IMG_Quit();
  TTF_Quit();
  SDL_Quit();
  return saved;
}
