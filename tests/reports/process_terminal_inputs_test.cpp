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

  uint32_t trig = 0;
  uint32_t repeat = 0;
  uint32_t key = KEY_NONE;
  uint32_t mouseCode = 0;
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

  // One frame's call; the peer must receive exactly `bytes`.
  void Expect(const std::string& bytes, bool written, int scale = 1) {
    EXPECT_EQ(ProcessTerminalInputs(&in, scale), written);
    EXPECT_EQ(Hex(pty.readExactly(bytes.size(), 2000)), Hex(bytes));
  }
  void ExpectSilence() { EXPECT_EQ(Hex(pty.drain(50)), ""); }

  static std::string Hex(const std::string& s) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
      if (!out.empty()) out += ' ';
      out += digits[c >> 4];
      out += digits[c & 15];
    }
    return out;
  }

  PtyPair pty;
  CommSerial link;
  CommSerial* saved = nullptr;
  ScriptedInputs in;
};

TEST_F(ReportTest, EachButtonSendsItsReport) {
  const struct {
    uint32_t bits;
    const char* bytes;
  } cases[] = {
      {BTN_UP, "\x1b[A"},   {BTN_KEY2, "\x1b[A"},  {BTN_DOWN, "\x1b[B"}, {BTN_KEY3, "\x1b[B"},
      {BTN_RIGHT, "\x1b[C"}, {BTN_KEY4, "\x1b[C"}, {BTN_LEFT, "\x1b[D"}, {BTN_KEY1, "\x1b[D"},
      {BTN_ENTER, "\r"},    {BTN_BACK, "\b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits);
    in.Set(c.bits, KEY_NONE);
    Expect(c.bytes, true);
    // A repeat pulse sends the same report as the press.
    in.Set(0, KEY_NONE);
    in.repeat = c.bits;
    Expect(c.bytes, true);
  }
  ExpectSilence();
}

TEST_F(ReportTest, EachKeyCodeSendsItsReport) {
  const struct {
    uint32_t key;
    std::string bytes;
  } cases[] = {
      {KEY_BACKSPACE, "\b"},         {KEY_HOME, "\x1b[1"},          {KEY_END, "\x1b[4"},
      {KEY_PAGEUP, "\x1b[5"},        {KEY_PAGEDOWN, "\x1b[6"},      {KEY_F1, "\x1bOP"},
      {KEY_F2, "\x1bOQ"},            {KEY_F3, "\x1bOR"},            {KEY_F4, "\x1bOS"},
      {KEY_F5, "\x1bOT"},            {KEY_F6, "\x1bOU"},            {KEY_F7, "\x1bOV"},
      {KEY_F8, "\x1bOW"},            {KEY_F9, "\x1bOX"},            {KEY_F10, "\x1bOY"},
      {KEY_WHEEL_UP, "\x1b@995y"},   {KEY_WHEEL_DOWN, "\x1b@996y"}, {KEY_WHEEL_LEFT, "\x1b@997y"},
      {KEY_WHEEL_RIGHT, "\x1b@998y"}, {' ', " "},                   {'A', "A"},
      {'~', "~"},                    {'0', "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    in.Set(0, c.key);
    Expect(c.bytes, true);
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
  in.Set(BTN_BACK, KEY_F11);
  Expect("\b", true);
  ExpectSilence();
}

TEST_F(ReportTest, SeveralReportsGoOutInOrder) {
  in.Set(BTN_UP | BTN_ENTER, KEY_NONE);
  Expect("\x1b[A\r", true);
  in.Set(BTN_ENTER, KEY_HOME);
  Expect("\r\x1b[1", true);
  in.Set(BTN_UP | BTN_KEY2, KEY_NONE);
  Expect("\x1b[A", true);
  in.Set(BTN_BACK | BTN_LEFT | BTN_ENTER | BTN_RIGHT | BTN_DOWN | BTN_UP, 'x');
  Expect("\x1b[A\x1b[B\x1b[C\x1b[D\r\bx", true);
  in.Set(BTN_DOWN, KEY_MOUSE, 1, 20, 30);
  Expect("\x1b[B\x1b[<1;20;30M", true);
  ExpectSilence();
}

TEST_F(ReportTest, MouseReportScalesAndWrapsCoordinates) {
  const struct {
    uint32_t code;
    int16_t x, y;
    int scale;
    const char* bytes;
  } cases[] = {
      {0x01, 300, 200, 2, "\x1b[<1;150;100M"},
      {0x00, 641, 17, 1, "\x1b[<0;641;17M"},  // drag
      {0x19, 5, 7, 2, "\x1b[<25;2;3M"},
      {0x01, -3, 10, 1, "\x1b[<1;65533;10M"},
      {0x01, -3, 10, 2, "\x1b[<1;65535;5M"},
      {0x09, -1, -1, 2, "\x1b[<9;0;0M"},
      {0x04, -32768, 32767, 1, "\x1b[<4;32768;32767M"},
      {0x04, -32768, 32767, 3, "\x1b[<4;54614;10922M"},
      {0x01, 100, 60, 0, "\x1b[<1;100;60M"},  // a scale below 1 counts as 1
      {0x01, 100, 60, -4, "\x1b[<1;100;60M"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes + 1);
    in.Set(0, KEY_MOUSE, c.code, c.x, c.y);
    Expect(c.bytes, true, c.scale);
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
