#include "protocol/ProcessTerminalInputs.h"

#include <cstdint>
#include <cstdio>

#include "input/human_inputs_intf.h"
#include "serial/CommSerial.h"

namespace {

const unsigned char ESC = 0x1B;
const unsigned char CR = 0x0D;
const unsigned char BS = 0x08;

// One button report: the bits that trigger it and the bytes it sends.
struct ButtonReport {
  uint32_t bits;
  unsigned char bytes[3];
  unsigned len;
};

// Tested one after another; several can go out in one frame.
const ButtonReport kButtonReports[] = {
    {BTN_UP | BTN_KEY2, {ESC, '[', 'A'}, 3},
    {BTN_DOWN | BTN_KEY3, {ESC, '[', 'B'}, 3},
    {BTN_RIGHT | BTN_KEY4, {ESC, '[', 'C'}, 3},
    {BTN_LEFT | BTN_KEY1, {ESC, '[', 'D'}, 3},
    {BTN_ENTER, {CR}, 1},
    {BTN_BACK, {BS}, 1},
};

// Final bytes of the three-byte key reports, indexed from KEY_HOME.
const unsigned char kNavigationFinal[] = {'1', '4', '5', '6'};
// Final bytes of ESC O <final>, indexed from KEY_F1 (F1..F10).
const unsigned char kFunctionFinal[] = {'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y'};
// Digit of the six-byte wheel report, indexed from KEY_WHEEL_UP.
const char kWheelDigit[] = {'5', '6', '7', '8'};

const size_t kMouseReportSize = 32;

void Send(CommSerial* link, const unsigned char* bytes, unsigned len) {
  if (link) link->write(bytes, len);
}

// Window pixels to screen pixels, printed as the 16-bit unsigned reading.
unsigned ScreenCoordinate(int16_t window, int scale) {
  const int quotient = window / scale;
  return static_cast<uint16_t>(quotient);
}

bool SendKeyReport(HumanInputsIntf* inputs, CommSerial* link, uint32_t key, int scale) {
  if (key == KEY_BACKSPACE) {
    const unsigned char bs = BS;
    Send(link, &bs, 1);
    return true;
  }
  if (key >= KEY_HOME && key <= KEY_PAGEDOWN) {
    const unsigned char bytes[3] = {ESC, '[', kNavigationFinal[key - KEY_HOME]};
    Send(link, bytes, 3);
    return true;
  }
  if (key >= KEY_F1 && key <= KEY_F10) {
    const unsigned char bytes[3] = {ESC, 'O', kFunctionFinal[key - KEY_F1]};
    Send(link, bytes, 3);
    return true;
  }
  if (key >= KEY_WHEEL_UP && key <= KEY_WHEEL_RIGHT) {
    const unsigned char bytes[6] = {ESC, '@', '9', '9',
                                    static_cast<unsigned char>(kWheelDigit[key - KEY_WHEEL_UP]), 'y'};
    Send(link, bytes, 6);
    return true;
  }
  if (key >= 32 && key <= 126) {
    const unsigned char c = static_cast<unsigned char>(key);
    Send(link, &c, 1);
    return true;
  }
  if (key == KEY_MOUSE) {
    TPoint pos = {0, 0};
    const uint32_t code = inputs->GetMouse(&pos);
    char report[kMouseReportSize];
    const int n = std::snprintf(report, sizeof(report), "\x1b[<%u;%u;%uM", static_cast<unsigned>(code),
                                ScreenCoordinate(pos.x, scale), ScreenCoordinate(pos.y, scale));
    if (n <= 0) return false;
    const unsigned len = static_cast<unsigned>(n) < sizeof(report) ? static_cast<unsigned>(n)
                                                                   : sizeof(report) - 1;
    Send(link, reinterpret_cast<const unsigned char*>(report), len);
    return true;
  }
  return false;
}

}  // namespace

bool ProcessTerminalInputs(HumanInputsIntf* inputs, int scale) {
  return ProcessTerminalInputs(inputs, serial, scale);
}

bool ProcessTerminalInputs(HumanInputsIntf* inputs, CommSerial* link, int scale) {
  if (!inputs) return false;
  if (scale < 1) scale = 1;
  bool written = false;

  const uint32_t buttons = inputs->GetBtnTrigRepeat(0xFFFFFFFF);
  for (const ButtonReport& report : kButtonReports) {
    if (buttons & report.bits) {
      Send(link, report.bytes, report.len);
      written = true;
    }
  }

  if (SendKeyReport(inputs, link, inputs->GetKey(), scale)) written = true;
  return written;
}
