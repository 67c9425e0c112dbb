// The SDL implementation of the input state: drains SDL's event queue once
// per main-loop pass (a frame) into masks with auto-repeat, a key code, a
// mouse code and the frame's quit, or else its last move/resize event.
#pragma once

#include <SDL.h>

#include "input/human_inputs_intf.h"

class HumanInputsSDL : public HumanInputsIntf {
public:
  HumanInputsSDL();
  ~HumanInputsSDL() override;

  bool ProcessInputs() override;
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
};
