#include "app/MainLoop.h"

#include <SDL.h>

#include <algorithm>

#include "app/LinkDownScreen.h"
#include "app/LinkJournal.h"
#include "app/WindowRules.h"
#include "input/human_inputs_sdl.h"
#include "protocol/EscSeqParser.h"
#include "protocol/ProcessTerminalInputs.h"
#include "screen/edispSDL.h"

MainLoop::MainLoop(Parts parts)
    : parts(parts),
      supervisor(parts.link, parts.device, parts.baudrate, parts.journal, parts.log,
                 {[this](unsigned char byte) {
                    this->parts.screen.stopUpdate();
                    this->parts.journal.parse(this->parts.parser, byte);
                    presentPending = true;
                  },
                  [this] { showLinkLost(this->parts.screen); },
                  [this] { showReconnecting(this->parts.screen); }},
                 [] { return SDL_GetTicks(); }) {}

void MainLoop::run(const std::function<void()>& pass, const std::function<void()>& quitting) {
  HumanInputsSDL& input = parts.input;
  supervisor.start();
  lastFrame = SDL_GetTicks() - kFrameMs;
  for (;;) {
    pass();
    // Events of the program's own (the reader's among them) only wake it.
    SDL_FlushEvents(SDL_USEREVENT, SDL_LASTEVENT);
    supervisor.pass();
    present();
    uint32_t now = SDL_GetTicks();
    const bool framesDue = input.heldForRepeat() || input.pollsJoystick();
    SDL_PumpEvents();
    if (input.pending() || SDL_HasEvents(SDL_FIRSTEVENT, SDL_USEREVENT - 1) ||
        (framesDue && now - lastFrame >= kFrameMs)) {
      const bool timed = now - lastFrame >= kFrameMs;
      if (timed) lastFrame = now;
      if (inputFrame(timed)) {
        storeLastMove();
        quitting();
        return;
      }
    } else {
      screenshots.pass(parts.screen, KEY_NONE, now);
    }
    now = SDL_GetTicks();
    const uint32_t wait = idleMs(now);
    if (wait == 0) continue;
    // SDL sees a joystick only by polling, and would poll every
    // millisecond inside its wait: with one in use, frames are plain pauses.
    if (input.pollsJoystick()) {
      SDL_Delay(std::min(wait, kFrameMs));
    } else {
      SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<uint32_t>(wait, INT32_MAX)));
    }
  }
}

void MainLoop::storeLastMove() {
  // A move tells where the window's content went; a new window is put by its
  // outer corner, the window manager's frame included: that corner puts it
  // back at the same place. While the window manager is still framing a new
  // window its borders read as none, so the corner is worked out at the quit
  // and before going fullscreen, when they are known; in fullscreen there are
  // none to read.
  if (!lastMove || parts.screen.isFullscreen()) return;
  int top = 0, left = 0;
  SDL_GetWindowBordersSize(parts.screen.getWindow(), &top, &left, nullptr, nullptr);
  storeWindowMove(parts.prefs, lastMove->x - left, lastMove->y - top);
}

// How long nothing is due: the link's deadlines, a presentation held back,
// the next frame of a held key, the end of a title note.
uint32_t MainLoop::idleMs(uint32_t now) const {
  if (parts.input.pending()) return 0;
  uint32_t wait = std::min(supervisor.idleMs(), screenshots.idleMs(now));
  if (presentPending) wait = std::min(wait, LinkDeadlines::msLeft(lastPresent + kFrameMs, now));
  if (parts.input.heldForRepeat() || parts.input.pollsJoystick()) {
    wait = std::min(wait, LinkDeadlines::msLeft(lastFrame + kFrameMs, now));
  }
  return wait;
}

// What the unit drew shows at once after a quiet spell, and at most once
// per frame while it keeps sending. A window uncovered meanwhile is
// repainted from the last presentation.
void MainLoop::present() {
  const uint32_t now = SDL_GetTicks();
  if (presentPending && now - lastPresent < kFrameMs) return;
  parts.screen.resumeUpdate();
  if (presentPending) lastPresent = now;
  presentPending = false;
}

bool MainLoop::inputFrame(bool timed) {
  HumanInputsSDL& input = parts.input;
  const ScreenPlacement before = parts.screen.placement();
  input.screenArea = {before.x, before.y, kScreenWidth * before.scale, kScreenHeight * before.scale};
  const bool happened = input.ProcessInputs(timed);
  screenshots.pass(parts.screen, input.GetKey(), SDL_GetTicks());
  if (!happened) return false;
  const SDL_Event& event = input.lastWindowEvent;
  if (event.type == SDL_QUIT) return true;
  if (event.type == SDL_WINDOWEVENT) handleWindowEvent(event.window);
  if (input.GetKey() == KEY_F11) {
    storeLastMove();  // while the frame's borders can still be read
    parts.screen.toggleFullscreen();
  }
  const ScreenPlacement shown = parts.screen.placement();
  const TPoint corner{static_cast<int16_t>(shown.x), static_cast<int16_t>(shown.y)};
  ProcessTerminalInputs(&input, supervisor, shown.scale, corner);
  return false;
}

void MainLoop::handleWindowEvent(const SDL_WindowEvent& event) {
  edispSDL& screen = parts.screen;
  // In fullscreen the desktop's size and corner are not the window's own:
  // nothing is snapped or stored, the screen is shown at its new placement.
  if (screen.isFullscreen()) {
    if (event.event == SDL_WINDOWEVENT_RESIZED) {
      screen.stopUpdate();
      screen.resumeUpdate();
    }
  } else if (event.event == SDL_WINDOWEVENT_MOVED) {
    lastMove = SDL_Point{event.data1, event.data2};  // stored at the quit
  } else if (event.event == SDL_WINDOWEVENT_RESIZED) {
    parts.scale = snappedScale(event.data1, event.data2);
    screen.resizeWindow(kScreenWidth * parts.scale, kScreenHeight * parts.scale);
    screen.stopUpdate();
    screen.resumeUpdate();
    storeWindowScale(parts.prefs, parts.scale);
  }
}
