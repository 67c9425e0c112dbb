// Feeds arbitrary bytes from the unit to the byte-stream parser driving a
// real screen (SDL's dummy video driver, the fonts of the build). Every
// command, picture and character size is reachable; the screen is reset now
// and then so that state left by earlier inputs stays bounded.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocol/EscSeqParser.h"
#include "screen/edispSDL.h"

namespace {

// Inputs between two screen resets.
const unsigned kInputsPerReset = 256;

edispSDL* screen = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_CRITICAL);
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0 || TTF_Init() != 0 ||
      (IMG_Init(IMG_INIT_JPG) & IMG_INIT_JPG) == 0) {
    std::abort();
  }
  screen = new edispSDL("fuzz", 0, 0, 640, 384, TAVIX_BUILD_DIR);
  if (!screen->initialized) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static unsigned inputs = 0;
  if (++inputs % kInputsPerReset == 0) screen->init_disp();

  EscSeqParser parser(screen);
  for (size_t i = 0; i < size; ++i) {
    screen->stopUpdate();
    parser.ParseByte(data[i]);
  }
  screen->resumeUpdate();

  // Whatever came before, CR and a cursor move act as they would at start.
  for (unsigned char c : {'\r', '\x1b', '[', '3', ';', '4', 'H'}) parser.ParseByte(c);
  if (screen->getCursorRow() != 3 || screen->getCursorCol() != 4) std::abort();
  if (screen->getCharSize() < 0 || screen->getBgBuffIndex() < 0 || screen->getBgBuffIndex() > 3) std::abort();
  // Drain the event queue the window fills, as the main loop would.
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
  }
  return 0;
}
