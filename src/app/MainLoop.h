// The main loop: each pass does what is due (the link's work, a
// presentation, an input frame with its reports and window events) and then
// sleeps until the next thing happens.
#pragma once

#include <SDL_events.h>
#include <SDL_rect.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/LinkSupervisor.h"
#include "app/Prefs.h"
#include "app/Screenshot.h"

class ConnectionLog;
class EscSeqParser;
class HumanInputsSDL;
class LinkJournal;
class edispSDL;

class MainLoop {
public:
  // The rhythm of input frames while a key is held (its repeats count in
  // frames) or a joystick is read, and the shortest time between two
  // presentations while the unit keeps sending.
  static constexpr uint32_t kFrameMs = 10;

  // What the loop works on, owned by the application.
  struct Parts {
    edispSDL& screen;
    HumanInputsSDL& input;
    EscSeqParser& parser;
    CommSerial& link;
    const std::string& device;
    unsigned long baudrate;
    LinkJournal& journal;  // the unit's bytes reach the parser through it
    const ConnectionLog& log;
    PreferenceMap& prefs;  // the window's place and size are stored here
    int& scale;            // the window's whole scale, kept up to date
  };

  explicit MainLoop(Parts parts);
  // Runs until a quit event; pass is called at the start of every pass,
  // quitting once the quit event has been taken.
  void run(const std::function<void()>& pass, const std::function<void()>& quitting);

private:
  void present();
  // An input frame; true when it took the quit event.
  bool inputFrame(bool timed);
  void handleWindowEvent(const SDL_WindowEvent& event);
  // Stores the outer corner for the window's last move, if it moved.
  void storeLastMove();
  uint32_t idleMs(uint32_t now) const;

  Parts parts;
  LinkSupervisor supervisor;
  ScreenshotKey screenshots;
  bool presentPending = false;
  uint32_t lastPresent = 0;
  uint32_t lastFrame = 0;
  std::optional<SDL_Point> lastMove;  // the content's corner at the last move
};
