// What the simulated unit puts on the wire: exact command bytes, 15-bit
// colours and Shift_JIS text.
#include <gtest/gtest.h>

#include <string>

#include "UnitStream.h"

namespace {

TEST(UnitStreamTest, CommandsHaveTheUnitsByteForm) {
  struct {
    std::string got, want;
  } cases[] = {
      {UnitStream().move(5, 10).bytes(), "\x1b[5;10H"},
      {UnitStream().attributes({}).bytes(), "\x1b[m"},
      {UnitStream().attributes({1, 31, 44}).bytes(), "\x1b[1;31;44m"},
      {UnitStream().clearText().eraseToEnd().eraseRow().erase(3).bytes(), "\x1b[2J\x1b[K\x1b[2K\x1b[3X"},
      {UnitStream().initScreen().charSize(1).showLayer(2).clearLayer(3).bytes(),
       "\x1b@0Z\x1b@5Z\x1b@32Z\x1b@73Z"},
      {UnitStream().fillRect(1, 100, 50, 10, 20, 0x7C00).bytes(), "\x1b@0;1;100;50;10;20;31744z"},
      {UnitStream().rect(1, 100, 50, 10, 20, 31).bytes(), "\x1b@4;1;100;50;10;20;31z"},
      {UnitStream().line(0, 1, 2, 3, 4, 5).bytes(), "\x1b@2;0;1;2;3;4;5z"},
      {UnitStream().ellipse(0, true, 320, 192, 100, 50, 31).bytes(), "\x1b@3;0;1;320;192;100;50;31z"},
      {UnitStream().picture(7, 2, 30, 40).bytes(), "\x1b@7;2;30;40I"},
      {UnitStream().folderPicture(5, 2, 3, 0, 0).bytes(), "\x1b@5;2;3;0;0I"},
      {UnitStream().versionReport(1, 2, 3, 4).bytes(), "\x1b@1;2;3;4V"},
      {UnitStream().text("A").newline().bytes(), "A\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(UnitStreamTest, NegativeNumbersAreSentAsZero) {
  // The program reads digits only; a minus sign would throw the command away.
  EXPECT_EQ(UnitStream().line(0, -5, 3, 4, -1, 9).bytes(), "\x1b@2;0;0;3;4;0;9z");
}

TEST(UnitStreamTest, Rgb555KeepsTheTopFiveBitsOfEachComponent) {
  EXPECT_EQ(rgb555(255, 0, 0), 0x7C00);
  EXPECT_EQ(rgb555(0, 255, 0), 0x03E0);
  EXPECT_EQ(rgb555(0, 0, 255), 0x001F);
  EXPECT_EQ(rgb555(128, 128, 128), (16 << 10) | (16 << 5) | 16);
  EXPECT_EQ(rgb555(7, 7, 7), 0);
}

TEST(UnitStreamTest, JapaneseTextIsSentAsShiftJis) {
  EXPECT_EQ(toShiftJis("あ"), "\x82\xa0");
  EXPECT_EQ(toShiftJis("A漢"), "A\x8a\xbf");
  EXPECT_EQ(toShiftJis("ｱ"), "\xb1");  // half-width katakana: one byte
  EXPECT_EQ(UnitStream().japanese("ア").bytes(), "\x83\x41");
}

TEST(UnitStreamTest, CharactersWithoutShiftJisFormBecomeQuestionMarks) {
  EXPECT_EQ(toShiftJis("a\xe2\x82\xac" "b"), "a?b");  // the euro sign
  EXPECT_EQ(toShiftJis("a\xff" "b"), "a?b");          // not UTF-8 at all
  EXPECT_EQ(toShiftJis("\xe3\x81"), "?");             // cut inside a character
}

}  // namespace
