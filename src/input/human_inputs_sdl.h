// The SDL implementation of the input state: takes SDL's events once per
// frame into masks with auto-repeat, a key code, a mouse code and the
// frame's quit, move or resize event. A frame carries at most one event that
// makes a report for the unit, and one window event: whatever would replace
// one already taken stays queued, in order, for the next frame.
#pragma once

#include <SDL.h>

#include <deque>

#include "input/human_inputs_intf.h"

class HumanInputsSDL : public HumanInputsIntf {
public:
  HumanInputsSDL();
  ~HumanInputsSDL() override;

  bool ProcessInputs() override { return ProcessInputs(true); }
  // A frame; held keys count towards their repeats only when countsRepeats
  // (frames at the repeat rhythm, not those run early for queued input).
  bool ProcessInputs(bool countsRepeats);
  // Input is waiting for the next frame, which should start at once.
  bool pending() const { return waiting || !pendingKeys.empty(); }
  // Something held counts towards a repeat: frames must go on at their rhythm.
  bool heldForRepeat() const { return (btnPress & ~latch) != 0; }
  // The joystick is read in every frame: SDL sees its changes only by polling.
  bool pollsJoystick() const;
  // Gives the joystick back when joystick input is off, so that SDL has
  // nothing to poll while the program waits for events.
  void releaseUnusedJoystick();
  uint32_t GetBtnTrig(uint32_t mask) const override { return mask & btnTrig; }
  uint32_t GetBtnRelease(uint32_t mask) const override { return mask & btnRelease; }
  uint32_t GetBtnPress(uint32_t mask) const override { return mask & btnPress; }
  uint32_t GetBtnRepeat(uint32_t mask) const override { return mask & btnRepeat; }
  uint32_t GetBtnTrigRepeat(uint32_t mask) const override { return mask & (btnTrig | btnRepeat); }
  uint32_t GetKey() const override { return key; }
  uint32_t GetMouse(TPoint* pos) const override;
  void UnsetLatch() override;

  uint32_t btnTrig;
  uint32_t btnRelease;
  uint32_t btnPress;
  uint32_t btnRepeat;
  uint8_t repeatCount[32];
  uint32_t repeatRateFrames;
  uint32_t repeatDelayFrames;
  uint32_t key;
  uint32_t latch;
  uint32_t idleFrames;
  uint32_t mouseCode;
  TPoint mousePos;
  bool buttonWindowFocused;
  bool mainWindowFocused;
  bool enableJoystick;
  uint32_t buttonWindowId;
  uint32_t mainWindowId;
  SDL_Event lastWindowEvent;
  // Where the screen shows in the main window, in window pixels: a button
  // pressed outside it (on the border around the screen) is not taken, nor
  // its release, nor the pointer's moves while only such buttons are held.
  SDL_Rect screenArea{INT16_MIN, INT16_MIN, 1 << 17, 1 << 17};

private:
  // The button event is one this state takes: a press on the screen, or the
  // release of a button pressed there.
  bool takesButton(const SDL_MouseButtonEvent& ev) const;
  // The event makes a report for the unit, with the focus as it stands.
  bool bearsReport(const SDL_Event& ev) const;
  void takeText(const char* text);
  // Key codes of an event that carried several (a text of several
  // characters, a wheel turned both ways), one per frame.
  std::deque<uint32_t> pendingKeys;
  bool waiting = false;
  // Buttons held since a press outside the screen area, as mouse codes' bits.
  uint32_t offScreenButtons = 0;
};
