// What the simulated unit puts on the wire: exact command bytes, 15-bit
// colours and Shift_JIS text.
#include <gtest/gtest.h>

#include <string>

#include "UnitStream.h"

namespace {

TEST(UnitStreamTest, CommandsAndTextHaveTheUnitsByteForm) {
  const struct {
    std::string got, want;
  } cases[] = {
      {UnitStream().move(5, 10).bytes(), "\x1b[5;10H"},
      {UnitStream().attributes({}).bytes(), "\x1b[m"},
      {UnitStream().attributes({1, 31, 44}).bytes(), "\x1b[1;31;44m"},
      {UnitStream().clearText().eraseToEnd().eraseRow().erase(3).bytes(), "\x1b[2J\x1b[K\x1b[2K\x1b[3X"},
      {UnitStream().initScreen().charSize(1).showLayer(2).clearLayer(3).bytes(), "\x1b@0Z\x1b@5Z\x1b@32Z\x1b@73Z"},
      {UnitStream().fillRect(1, 100, 50, 10, 20, rgb555(255, 0, 0)).bytes(), "\x1b@0;1;100;50;10;20;31744z"},
      {UnitStream().rect(1, 100, 50, 10, 20, rgb555(0, 0, 255)).bytes(), "\x1b@4;1;100;50;10;20;31z"},
      {UnitStream().line(0, 1, 2, 3, 4, rgb555(128, 128, 128)).bytes(), "\x1b@2;0;1;2;3;4;16912z"},
      // The program reads digits only; a minus sign would throw the command away.
      {UnitStream().line(0, -5, 3, 4, -1, rgb555(7, 7, 7)).bytes(), "\x1b@2;0;0;3;4;0;0z"},
      {UnitStream().ellipse(0, true, 320, 192, 100, 50, 31).bytes(), "\x1b@3;0;1;320;192;100;50;31z"},
      {UnitStream().picture(7, 2, 30, 40).bytes(), "\x1b@7;2;30;40I"},
      {UnitStream().folderPicture(5, 2, 3, 0, 0).bytes(), "\x1b@5;2;3;0;0I"},
      {UnitStream().versionReport(1, 2, 3, 4).bytes(), "\x1b@1;2;3;4V"},
      {UnitStream().text("A").newline().bytes(), "A\r\n"},
      {UnitStream().japanese("ア").bytes(), "\x83\x41"},
      {toShiftJis("あ"), "\x82\xa0"},
      {toShiftJis("A漢"), "A\x8a\xbf"},
      {toShiftJis("ｱ"), "\xb1"},  // half-width katakana: one byte
      // Characters without a Shift_JIS form become question marks.
      {toShiftJis("a\xe2\x82\xac" "b"), "a?b"},  // the euro sign
      {toShiftJis("a\xff" "b"), "a?b"},          // not UTF-8 at all
      {toShiftJis("\xe3\x81"), "?"},             // cut inside a character
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

}  // namespace
