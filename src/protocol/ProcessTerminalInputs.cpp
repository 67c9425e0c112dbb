#include "protocol/ProcessTerminalInputs.h"

#include <cstdint>
#include <cstdio>

#include "input/human_inputs_intf.h"
#include "protocol/UnitWire.h"

namespace {

using namespace unit_wire;

// One button report: the bits that trigger it and the bytes it sends.
struct ButtonReport {
  uint32_t bits;
  unsigned char bytes[3];
  unsigned len;
};

// Tested one after another; several can go out in one frame.
const ButtonReport kButtonReports[] = {
    {BTN_UP | BTN_KEY2, {kEsc, '[', kCursorUpFinal}, 3},
    {BTN_DOWN | BTN_KEY3, {kEsc, '[', kCursorDownFinal}, 3},
    {BTN_RIGHT | BTN_KEY4, {kEsc, '[', kCursorRightFinal}, 3},
    {BTN_LEFT | BTN_KEY1, {kEsc, '[', kCursorLeftFinal}, 3},
    {BTN_ENTER, {kCarriageReturn}, 1},
    {BTN_BACK, {kBackspace}, 1},
};

// The key tables below are indexed from KEY_HOME, KEY_F1 and KEY_WHEEL_UP.
static_assert(sizeof kNavigationFinals == KEY_PAGEDOWN - KEY_HOME + 1, "one final per navigation key");
static_assert(sizeof kFunctionFinals == KEY_F10 - KEY_F1 + 1, "one final per function key F1..F10");
static_assert(sizeof kWheelDigits == KEY_WHEEL_RIGHT - KEY_WHEEL_UP + 1, "one digit per wheel direction");

const size_t kMouseReportSize = 32;

// Window pixels to screen pixels, from the screen's corner at window pixel
// corner, printed as the 16-bit unsigned reading.
unsigned ScreenCoordinate(int16_t window, int16_t corner, int scale) {
  const int quotient = (window - corner) / scale;
  return static_cast<uint16_t>(quotient);
}

bool SendKeyReport(HumanInputsIntf* inputs, ByteSink& sink, uint32_t key, int scale, TPoint corner) {
  if (key == KEY_BACKSPACE) {
    sink.send(&kBackspace, 1);
    return true;
  }
  if (key >= KEY_HOME && key <= KEY_PAGEDOWN) {
    const unsigned char bytes[3] = {kEsc, '[', kNavigationFinals[key - KEY_HOME]};
    sink.send(bytes, 3);
    return true;
  }
  if (key >= KEY_F1 && key <= KEY_F10) {
    const unsigned char bytes[3] = {kEsc, kFunctionIntro, kFunctionFinals[key - KEY_F1]};
    sink.send(bytes, 3);
    return true;
  }
  if (key >= KEY_WHEEL_UP && key <= KEY_WHEEL_RIGHT) {
    const unsigned char bytes[6] = {kEsc, '@', '9', '9', kWheelDigits[key - KEY_WHEEL_UP], 'y'};
    sink.send(bytes, 6);
    return true;
  }
  if (key >= 32 && key <= 126) {
    const unsigned char c = static_cast<unsigned char>(key);
    sink.send(&c, 1);
    return true;
  }
  if (key == KEY_MOUSE) {
    TPoint pos = {0, 0};
    const uint32_t code = inputs->GetMouse(&pos);
    char report[kMouseReportSize];
    const int n = std::snprintf(report, sizeof(report), kMouseReportFormat, static_cast<unsigned>(code),
                                ScreenCoordinate(pos.x, corner.x, scale), ScreenCoordinate(pos.y, corner.y, scale));
    if (n <= 0) return false;
    const unsigned len = static_cast<unsigned>(n) < sizeof(report) ? static_cast<unsigned>(n)
                                                                   : sizeof(report) - 1;
    sink.send(reinterpret_cast<const unsigned char*>(report), len);
    return true;
  }
  return false;
}

}  // namespace

bool ProcessTerminalInputs(HumanInputsIntf* inputs, ByteSink& sink, int scale, TPoint corner) {
  if (!inputs) return false;
  if (scale < 1) scale = 1;
  bool written = false;

  const uint32_t buttons = inputs->GetBtnTrigRepeat(0xFFFFFFFF);
  for (const ButtonReport& report : kButtonReports) {
    if (buttons & report.bits) {
      sink.send(report.bytes, report.len);
      written = true;
    }
  }

  if (SendKeyReport(inputs, sink, inputs->GetKey(), scale, corner)) written = true;
  return written;
}
