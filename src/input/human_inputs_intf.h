// The frame-stable input state read by the input encoder and the main loop:
// four button masks, a key code, a mouse code with its position, and the
// last window-level event of the frame.
#pragma once

#include <cstdint>

struct TPoint {
  int16_t x;
  int16_t y;
};

// Button bits, shared by all four masks.
enum : uint32_t {
  BTN_KEY1 = 0x0001,
  BTN_KEY2 = 0x0002,
  BTN_KEY3 = 0x0004,
  BTN_KEY4 = 0x0008,
  BTN_ENTER = 0x0010,
  BTN_BACK = 0x0020,
  BTN_LEFT = 0x1000,
  BTN_UP = 0x2000,
  BTN_DOWN = 0x4000,
  BTN_RIGHT = 0x8000,
};

// Key codes: printable characters 32..126 are their own codes.
enum : uint32_t {
  KEY_UP = 256,
  KEY_DOWN = 257,
  KEY_LEFT = 258,
  KEY_RIGHT = 259,
  KEY_ENTER = 260,
  KEY_BACKSPACE = 261,
  KEY_HOME = 262,
  KEY_END = 263,
  KEY_PAGEUP = 264,
  KEY_PAGEDOWN = 265,
  KEY_F1 = 266,
  KEY_F2 = 267,
  KEY_F3 = 268,
  KEY_F4 = 269,
  KEY_F5 = 270,
  KEY_F6 = 271,
  KEY_F7 = 272,
  KEY_F8 = 273,
  KEY_F9 = 274,
  KEY_F10 = 275,
  KEY_F11 = 276,
  KEY_F12 = 277,
  KEY_IDLE = 296,
  KEY_MOUSE = 298,
  KEY_WHEEL_UP = 299,
  KEY_WHEEL_DOWN = 300,
  KEY_WHEEL_LEFT = 301,
  KEY_WHEEL_RIGHT = 302,
  KEY_NONE = 304,
};

// Mouse event code flags, added to the button's bit (1 << (button - 1)).
enum : uint32_t {
  MOUSE_RELEASED = 0x08,
  MOUSE_DOUBLE = 0x10,
};

class HumanInputsIntf {
public:
  virtual ~HumanInputsIntf() {}
  virtual bool ProcessInputs() = 0;
  virtual uint32_t GetBtnTrig(uint32_t mask) const = 0;
  virtual uint32_t GetBtnRelease(uint32_t mask) const = 0;
  virtual uint32_t GetBtnPress(uint32_t mask) const = 0;
  virtual uint32_t GetBtnRepeat(uint32_t mask) const = 0;
  virtual uint32_t GetBtnTrigRepeat(uint32_t mask) const = 0;
  virtual uint32_t GetKey() const = 0;
  virtual uint32_t GetMouse(TPoint* pos) const = 0;
  virtual void UnsetLatch() = 0;
  virtual void SetKeyRepeatDelayFrames(uint32_t) {}
  virtual void SetKeyRepeatRateFrames(uint32_t) {}
  virtual void Reset() {}
};
