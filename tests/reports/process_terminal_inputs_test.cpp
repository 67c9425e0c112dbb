// Input reports as the unit receives them: a scripted input state drives
// ProcessTerminalInputs, a real serial link carries the bytes over a
// pseudo-terminal, and the far end reads them.
#include <gtest/gtest.h>

#include <string>

#include "input/human_inputs_intf.h"
#include "protocol/ProcessTerminalInputs.h"
#include "pty_pair.h"
#include "serial/CommSerial.h"

namespace {

// Each frame is set up whole: the buttons pressed this frame (or pulsing by
// repeat), the key code and the mouse code and position.
class ScriptedInputs : public HumanInputsIntf {
public:
  bool ProcessInputs() override { return true; }
  uint32_t GetBtnTrig(uint32_t mask) const override { return mask & trig; }
  uint32_t GetBtnRelease(uint32_t) const override { return 0; }
  uint32_t GetBtnPress(uint32_t mask) const override { return mask & trig; }
  uint32_t GetBtnRepeat(uint32_t mask) const override { return mask & repeat; }
  uint32_t GetBtnTrigRepeat(uint32_t mask) const override { return mask & (trig | repeat); }
  uint32_t GetKey() const override { return key; }
  uint32_t GetMouse(TPoint* p) const override {
    *p = pos;
    return mouseCode;
  }
  void UnsetLatch() override {}

  void Set(uint32_t buttons, uint32_t k, uint32_t code = 0, int16_t x = 0, int16_t y = 0) {
    trig = buttons;
    repeat = 0;
    key = k;
    mouseCode = code;
    pos = {x, y};
  }

  uint32_t trig = 0, repeat = 0, key = KEY_NONE, mouseCode = 0;
  TPoint pos = {0, 0};
};

class ReportTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(link.OpenPort(pty.path(), 230400));
    pty.drain(20);
    saved = serial;
    serial = &link;
  }
  void TearDown() override {
    serial = saved;
    link.ClosePort();
  }

  void ExpectSilence() { EXPECT_EQ(pty.drain(50), ""); }

  PtyPair pty;
  CommSerial link;
  CommSerial* saved = nullptr;
  ScriptedInputs in;
};

// One row per frame: what the input state holds, the bytes the unit receives.
struct ReportCase {
  uint32_t trig, repeat, key;
  std::string bytes;
  uint32_t mouse = 0;
  int16_t x = 0, y = 0;
  int scale = 1;
};

const uint32_t kNone = KEY_NONE;

TEST_F(ReportTest, EachFrameSendsItsReportsInOrder) {
  const ReportCase cases[] = {
      // Buttons, pressed or pulsing by repeat; the digit keys share the arrows' reports.
      {BTN_UP, 0, kNone, "\x1b[A"}, {0, BTN_UP, kNone, "\x1b[A"}, {BTN_KEY2, 0, kNone, "\x1b[A"},
      {0, BTN_KEY2, kNone, "\x1b[A"}, {BTN_DOWN, 0, kNone, "\x1b[B"}, {0, BTN_DOWN, kNone, "\x1b[B"},
      {BTN_KEY3, 0, kNone, "\x1b[B"}, {0, BTN_KEY3, kNone, "\x1b[B"}, {BTN_RIGHT, 0, kNone, "\x1b[C"},
      {0, BTN_RIGHT, kNone, "\x1b[C"}, {BTN_KEY4, 0, kNone, "\x1b[C"}, {0, BTN_KEY4, kNone, "\x1b[C"},
      {BTN_LEFT, 0, kNone, "\x1b[D"}, {0, BTN_LEFT, kNone, "\x1b[D"}, {BTN_KEY1, 0, kNone, "\x1b[D"},
      {0, BTN_KEY1, kNone, "\x1b[D"}, {BTN_ENTER, 0, kNone, "\r"}, {0, BTN_ENTER, kNone, "\r"},
      {BTN_BACK, 0, kNone, "\b"}, {0, BTN_BACK, kNone, "\b"},
      // Key codes.
      {0, 0, KEY_BACKSPACE, "\b"}, {0, 0, KEY_HOME, "\x1b[1"}, {0, 0, KEY_END, "\x1b[4"},
      {0, 0, KEY_PAGEUP, "\x1b[5"}, {0, 0, KEY_PAGEDOWN, "\x1b[6"}, {0, 0, KEY_F1, "\x1bOP"},
      {0, 0, KEY_F2, "\x1bOQ"}, {0, 0, KEY_F3, "\x1bOR"}, {0, 0, KEY_F4, "\x1bOS"}, {0, 0, KEY_F5, "\x1bOT"},
      {0, 0, KEY_F6, "\x1bOU"}, {0, 0, KEY_F7, "\x1bOV"}, {0, 0, KEY_F8, "\x1bOW"}, {0, 0, KEY_F9, "\x1bOX"},
      {0, 0, KEY_F10, "\x1bOY"}, {0, 0, KEY_WHEEL_UP, "\x1b@995y"}, {0, 0, KEY_WHEEL_DOWN, "\x1b@996y"},
      {0, 0, KEY_WHEEL_LEFT, "\x1b@997y"}, {0, 0, KEY_WHEEL_RIGHT, "\x1b@998y"}, {0, 0, ' ', " "},
      {0, 0, 'A', "A"}, {0, 0, '~', "~"}, {0, 0, '0', "0"},
      {BTN_BACK, 0, KEY_F11, "\b"},
      // Several reports in one frame, in a fixed order; Up with digit 2 gives one report.
      {BTN_UP | BTN_ENTER, 0, kNone, "\x1b[A\r"},
      {BTN_ENTER, 0, KEY_HOME, "\r\x1b[1"},
      {BTN_UP | BTN_KEY2, 0, kNone, "\x1b[A"},
      {BTN_BACK | BTN_LEFT | BTN_ENTER | BTN_RIGHT | BTN_DOWN | BTN_UP, 0, 'x', "\x1b[A\x1b[B\x1b[C\x1b[D\r\bx"},
      {BTN_DOWN, 0, KEY_MOUSE, "\x1b[B\x1b[<1;20;30M", 1, 20, 30},
      // The mouse: coordinates divided by the scale and sent as unsigned 16-bit.
      {0, 0, KEY_MOUSE, "\x1b[<1;150;100M", 0x01, 300, 200, 2},
      {0, 0, KEY_MOUSE, "\x1b[<0;641;17M", 0x00, 641, 17, 1},  // drag
      {0, 0, KEY_MOUSE, "\x1b[<25;2;3M", 0x19, 5, 7, 2},
      {0, 0, KEY_MOUSE, "\x1b[<1;65533;10M", 0x01, -3, 10, 1},
      {0, 0, KEY_MOUSE, "\x1b[<1;65535;5M", 0x01, -3, 10, 2},
      {0, 0, KEY_MOUSE, "\x1b[<9;0;0M", 0x09, -1, -1, 2},
      {0, 0, KEY_MOUSE, "\x1b[<4;32768;32767M", 0x04, -32768, 32767, 1},
      {0, 0, KEY_MOUSE, "\x1b[<4;54614;10922M", 0x04, -32768, 32767, 3},
      {0, 0, KEY_MOUSE, "\x1b[<1;100;60M", 0x01, 100, 60, 0},  // a scale below 1 counts as 1
      {0, 0, KEY_MOUSE, "\x1b[<1;100;60M", 0x01, 100, 60, -4},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    in.Set(c.trig, c.key, c.mouse, c.x, c.y);
    in.repeat = c.repeat;
    EXPECT_TRUE(ProcessTerminalInputs(&in, c.scale));
    EXPECT_EQ(pty.readExactly(c.bytes.size(), 2000), c.bytes);
  }
  ExpectSilence();
}

TEST_F(ReportTest, CodesWithoutReportSendNothing) {
  for (uint32_t key : {uint32_t(KEY_F11), uint32_t(KEY_F12), uint32_t(KEY_UP), uint32_t(KEY_DOWN),
                       uint32_t(KEY_LEFT), uint32_t(KEY_RIGHT), uint32_t(KEY_ENTER), uint32_t(KEY_IDLE),
                       uint32_t(KEY_NONE), 0u, 31u, 127u, 255u, 0x100000u}) {
    in.Set(0, key);
    EXPECT_FALSE(ProcessTerminalInputs(&in, 1)) << key;
  }
  ExpectSilence();
}

TEST_F(ReportTest, ReportsCountAsWrittenWithoutAnOpenPort) {
  link.ClosePort();
  in.Set(BTN_UP, KEY_MOUSE, 1, 10, 10);
  EXPECT_TRUE(ProcessTerminalInputs(&in, 1));
  serial = nullptr;
  in.Set(0, 'a');
  EXPECT_TRUE(ProcessTerminalInputs(&in, 1));
  in.Set(0, KEY_F12);
  EXPECT_FALSE(ProcessTerminalInputs(&in, 1));
  ExpectSilence();
}

}  // namespace
