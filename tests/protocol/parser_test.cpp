// The byte-stream parser and its command set: bytes in, screen calls out.
// A recording screen writes each call as a short text; every row runs fed
// whole, one byte at a time and cut at random points, with the conversion
// cache on and off, and must give the same calls. After each piece the
// calls so far must begin the expected list: nothing waits for later bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "protocol/EscSeqParser.h"
#include "screen/ScreenIntf.h"

namespace {

class Recorder : public ScreenIntf {
public:
  std::string calls;
  void puts_(const char* t, unsigned n) override {
    add("puts(" + std::string(t) + (n ? "," + std::to_string(n) : "") + ")");
  }
  void move(int r, int c) override { rec("move", {r, c}); }
  void curmove(int r, int c) override { rec("curmove", {r, c}); }
  void cur_rowtop() override { rec("cur_rowtop", {}); }
  void curon() override { rec("curon", {}); }
  void curoff() override { rec("curoff", {}); }
  void set_attribute(int a) override { rec("set_attribute", {a}); }
  void set_attribute(int a, int b) override { rec("set_attribute", {a, b}); }
  void set_attribute(int a, int b, int c) override { rec("set_attribute", {a, b, c}); }
  void set_attribute(int a, int b, int c, int d) override { rec("set_attribute", {a, b, c, d}); }
  void save_attribute(int s) override { rec("save_attribute", {s}); }
  void load_attribute(int s) override { rec("load_attribute", {s}); }
  void clear() override { rec("clear", {}); }
  void del_to_end() override { rec("del_to_end", {}); }
  void del_row() override { rec("del_row", {}); }
  void del(int n) override { rec("del", {n}); }
  void init_disp() override { rec("init_disp", {}); }
  void set_charsize(int n) override { rec("set_charsize", {n}); }
  void set_bgbuff(int l) override { rec("set_bgbuff", {l}); }
  void clear_bgbuff(int l) override { rec("clear_bgbuff", {l}); }
  void draw_fillrect(int l, int w, int h, int x, int y, int c) override { rec("draw_fillrect", {l, w, h, x, y, c}); }
  void draw_rectangle(int l, int w, int h, int x, int y, int c) override {
    rec("draw_rectangle", {l, w, h, x, y, c});
  }
  void draw_line(int l, int a, int b, int c, int d, int e) override { rec("draw_line", {l, a, b, c, d, e}); }
  void draw_ellipse(int l, int f, int a, int b, int c, int d, int e) override {
    rec("draw_ellipse", {l, f, a, b, c, d, e});
  }
  void draw_image(int p, int l, int x, int y) override { rec("draw_image", {p, l, x, y}); }
  void draw_image2(int p, int l, int f, int x, int y) override { rec("draw_image2", {p, l, f, x, y}); }

private:
  void add(const std::string& call) { calls += (calls.empty() ? "" : " ") + call; }
  void rec(const char* name, std::initializer_list<int> args) {
    std::string text = std::string(name) + "(";
    for (int a : args) text += (text.back() == '(' ? "" : ",") + std::to_string(a);
    add(text + ")");
  }
};

std::string E(const std::string& rest) { return "\x1b" + rest; }

struct Row {
  std::string in;
  std::string out;  // the calls, then "version(hex)" when a version was reported
};

// Feeds `in` to a fresh parser in pieces of `piece` bytes (0: cut at random
// points) and returns the calls, checking after each piece that they begin
// the expected ones.
std::string feed(const std::string& in, const std::string& expected, std::size_t piece, bool cache) {
  Recorder screen;
  EscSeqParser parser(&screen);
  parser.setConversionCacheEnabled(cache);
  std::mt19937 cuts(2024);
  for (std::size_t at = 0; at < in.size();) {
    const std::size_t n = piece ? piece : 1 + cuts() % 7;
    for (const std::size_t end = std::min(in.size(), at + n); at < end; ++at) {
      parser.ParseByte(static_cast<unsigned char>(in[at]));
    }
    const std::string& got = screen.calls;
    EXPECT_TRUE(got.empty() || (expected.compare(0, got.size(), got) == 0 &&
                                (got.size() == expected.size() || expected[got.size()] == ' ')))
        << "after " << at << " bytes: " << got;
  }
  if (parser.fwVersion == 0) return screen.calls;
  char hex[24];
  std::snprintf(hex, sizeof hex, "version(%08x)", static_cast<unsigned>(parser.fwVersion));
  return screen.calls + (screen.calls.empty() ? "" : " ") + hex;
}

void check(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    std::string shown;
    for (unsigned char c : row.in.substr(0, 60)) {
      shown += c == 0x1b ? "ESC" : c < 0x20 || c >= 0x7f ? "<" + std::to_string(c) + ">" : std::string(1, c);
    }
    SCOPED_TRACE(shown);
    for (std::size_t piece : {row.in.size(), std::size_t{1}, std::size_t{0}}) {
      for (bool cache : {true, false}) {
        EXPECT_EQ(feed(row.in, row.out, piece, cache), row.out) << "pieces of " << piece << ", cache " << cache;
      }
    }
  }
}

TEST(ParserTest, TextControlBytesAndShiftJis) {
  std::string ignored;
  for (int c = 0; c < 0x20; ++c) if (c != 0x0A && c != 0x0D && c != 0x1B) ignored += static_cast<char>(c);
  check({
      {"A\r\n", "puts(A) cur_rowtop() curmove(1,0)"},
      {ignored + "\x7f" " ~", "puts( ) puts(~)"},
      {"\x82\xA0", "puts(\xe3\x81\x82)"},
      {"\x81\x40\x81\xFC\xE0\x40\x88\x9F",
        "puts(\xe3\x80\x80) puts(\xe2\x97\xaf) puts(\xe6\xbc\xbe) puts(\xe4\xba\x9c)"},
      {"\xA1\xB1\xDF", "puts(\xef\xbd\xa1) puts(\xef\xbd\xb1) puts(\xef\xbe\x9f)"},
      {"\x82\xB1", "puts(\xe3\x81\x93)"},  // a katakana byte after a lead is its trail
      {"\x82" "1", "puts(1)"},
      {"\x82\x7f" "B", "puts(B)"},
      {"\x82\x3f", "puts(?)"},
      {"\x82\xFD" "AB", "puts(B)"},  // 0xFD is a lead byte itself
      {"\x80\x40\xA0\xB1\xFF\xFC" "B\xE0\x40", "puts(B) puts(\xe6\xbc\xbe)"},  // pairs the converter rejects, then one it takes
      {"\x85\x40\x82\xA0", "puts(\xe3\x81\x82)"},
      {"\x82" + E("7") + "\xA0", "save_attribute(0)"},
      {"\x82" + E("[1;2H") + "B", "move(1,2) puts(B)"},
  });
}

TEST(ParserTest, MalformedAndOverlongSequences) {
  const std::string zeros(251, '0');
  check({
      {E("[?25l"), "puts(2) puts(5) puts(l)"},
      {E("[-1A"), "puts(1) puts(A)"},
      {E("[5 H"), "puts(H)"},
      {E("[5\x7f") + "B", "puts(B)"},
      {E("[1\n"), "curmove(1,0)"},
      {E("[5\x82\xA0"), "puts(\xe3\x81\x82)"},
      {E("\xB1"), "puts(\xef\xbd\xb1)"},
      {E("\r") + "B", "cur_rowtop() puts(B)"},
      {E("[1") + E("[2J"), "clear()"},
      {E(E("[2;3H")), "move(2,3)"},
      {E("(0A") + E("(B") + E("$B") + E("A") + E(" ") + E("\x7f") + E("@@") + E("c"), ""},
      {E("7") + E("8"), "save_attribute(0) load_attribute(0)"},
      {E("[" + zeros + "5;7H"), "move(5,7)"},
      {E("[" + zeros + "05;7H") + "B", "move(5,7) puts(B)"},
      {E("[" + std::string(256, '1') + "2A") + "B", "puts(B)"},
      {E("[" + std::string(300, ';') + "5;10H"), "move(5,10)"},
      {E("[" + std::string(300, '0') + "2J") + "Q", "clear() puts(Q)"},
      {E("[" + zeros + "5>" + zeros + ">;;" + zeros + "7>>" + zeros + "H"), "move(5,7)"},
      {E("[" + zeros + "m") + E("[" + zeros + ";" + zeros + "1;" + zeros + "m"), "set_attribute(0) set_attribute(0,1,0)"},
      {E("[>5" + zeros + std::string(300, ';') + "1h") + E("[;>5" + zeros + "l"), "curoff()"},
      {E("[1;" + std::string(300, '9') + "H") + E("[" + zeros + "2147483648J"), ""},
      {E("@" + std::string(300, ';') + "I") + E("@1;2;3;>" + zeros + "4V"), ""},
      {E("@1;2;3;" + zeros + "4;" + zeros + ">;" + std::string(300, '9') + "V"), "version(01020304)"},
      {E("@0;1;100;50;10;20;31744;5;" + zeros + std::string(300, '9') + "z"), "draw_fillrect(1,100,50,10,20,31744)"},
      {E("@3;3;1;320;192;100;50;" + zeros + "31;>" + zeros + "z"), "draw_ellipse(3,1,320,192,100,50,31)"},
  });
}

TEST(ParserTest, CharacterScreenCommands) {
  check({
      {E("[A"), "curmove(-1,0)"}, {E("[3A"), "curmove(-3,0)"}, {E("[0A"), "curmove(0,0)"}, {E("[;A"), ""},
      {E("[1;4A"), "curmove(-1,0)"}, {E("[B"), "curmove(1,0)"}, {E("[4B"), "curmove(4,0)"},
      {E("[C"), "curmove(0,1)"}, {E("[7C"), "curmove(0,7)"}, {E("[D"), "curmove(0,-1)"}, {E("[12D"), "curmove(0,-12)"},
      {E("[H"), "move(0,0)"}, {E("[7;3H"), "move(7,3)"}, {E("[7H"), ""}, {E("[;3H"), ""}, {E("[7;;3H"), "move(7,3)"},
      {E("[1;2;3H"), "move(1,2)"}, {E("[f"), "move(0,0)"}, {E("[8;30f"), "move(8,30)"}, {E("[8f"), ""},
      {E("[2147483647;0H"), "move(2147483647,0)"}, {E("[2147483648;3H"), ""}, {E("[1;4294967296H"), ""},
      {E("[99999999999A"), ""}, {E("[>5;3H"), ""}, {E("[5>3;2>H"), "move(5,2)"}, {E("[4294967296m"), ""},
      {E("[J"), ""}, {E("[1J"), ""}, {E("[2J"), "clear()"}, {E("[2;1J"), "clear()"}, {E("[;J"), ""},
      {E("[K"), "del_to_end()"}, {E("[0K"), "del_to_end()"}, {E("[1K"), ""}, {E("[2K"), "del_row()"}, {E("[;K"), ""},
      {E("[X"), "del(1)"}, {E("[3X"), "del(3)"}, {E("[0X"), "del(0)"}, {E("[;X"), ""},
      {E("[m"), "set_attribute(0)"}, {E("[1m"), "set_attribute(1)"}, {E("[1;31m"), "set_attribute(1,31)"},
      {E("[32;44;4m"), "set_attribute(32,44,4)"}, {E("[1;4;5;7m"), "set_attribute(1,4,5,7)"},
      {E("[0;0;0;0;0m"), ""}, {E("[1;2;3;4;5;6;7m"), ""}, {E("[;m"), ""}, {E("[>0m"), ""},
      {E("[41;;1m"), "set_attribute(41,1)"}, {E("[s"), "save_attribute(0)"}, {E("[u"), "load_attribute(0)"},
      {E("[1s"), ""}, {E("[2u"), ""}, {E("[>5h"), "curoff()"}, {E("[>5l"), "curon()"}, {E("[>5;3h"), "curoff()"},
      {E("[>1h"), ""}, {E("[5h"), ""}, {E("[>h"), ""}, {E("[l"), ""}, {E("[*"), "clear()"}, {E("[1*"), ""},
      {E("[3L") + E("[M") + E("[P") + E("[g") + E("[5;5Q") + E("[@") + E("[z") + E("[1;2;3;4V"), ""},
  });
}

TEST(ParserTest, UnitCommands) {
  check({
      {E("@I"), "draw_image(1,0,0,0)"}, {E("@7I"), ""}, {E("@;I"), ""}, {E("@7;2I"), "draw_image(7,2,0,0)"},
      {E("@7;2;3I"), "draw_image2(7,2,3,0,0)"}, {E("@7;2;40;30I"), "draw_image(7,2,40,30)"},
      {E("@7;1;3;40;30I"), "draw_image2(7,1,3,40,30)"}, {E("@7;1;3;40;30;9I"), "draw_image2(7,1,3,40,30)"},
      {E("@1;3;;;600;350I"), "draw_image(1,3,600,350)"}, {E("@7;2;>3I"), ""},
      {E("@0Z"), "init_disp()"}, {E("@3Z"), ""}, {E("@4Z"), "set_charsize(0)"}, {E("@6Z"), "set_charsize(2)"},
      {E("@7Z"), ""}, {E("@5;6Z"), "set_charsize(1)"}, {E("@29Z"), ""}, {E("@30Z"), "set_bgbuff(0)"},
      {E("@33Z"), "set_bgbuff(3)"}, {E("@34Z"), ""}, {E("@69Z"), ""}, {E("@70Z"), "clear_bgbuff(0)"},
      {E("@73Z"), "clear_bgbuff(3)"}, {E("@74Z"), ""}, {E("@Z"), ""}, {E("@;Z"), ""}, {E("@4294967300Z"), ""},
      {E("@0;1;100;50;10;20;31744z"), "draw_fillrect(1,100,50,10,20,31744)"},
      {E("@0;1;100;50;10;20;31744;5z"), "draw_fillrect(1,100,50,10,20,31744)"}, {E("@0;1;100;50;10;20z"), ""},
      {E("@2;0;5;5;50;5;992z"), "draw_line(0,5,5,50,5,992)"}, {E("@2;0;5;5;50;5z"), ""},
      {E("@3;3;1;320;192;100;50;31z"), "draw_ellipse(3,1,320,192,100,50,31)"}, {E("@3;3;1;320;192;100;50z"), ""},
      {E("@4;1;100;50;10;20;31744z"), "draw_rectangle(1,100,50,10,20,31744)"}, {E("@4;1;100;50;10;20z"), ""},
      {E("@1;0;0;0;0;0;0z"), ""}, {E("@5;0;1;1;0;0;1z"), ""}, {E("@z"), ""}, {E("@;z"), ""},
      {E("@0;0;1;1;0;0;99999999999z"), ""}, {E("@999y"), ""},
      {E("@1;2;3;4V"), "version(01020304)"}, {E("@1;;2;3;4V"), "version(01020304)"},
      {E("@1;2;3;4;5V"), "version(01020304)"}, {E("@1;2;3V") + E("@V") + E("@1;2;3;>4V"), ""},
      {E("@1;2;3;4V") + E("@5;6;7V") + E("@1;2;3;4294967296V") + E("@0Z"), "init_disp() version(01020304)"},
      {E("@255;255;255;255V"), "version(ffffffff)"}, {E("@0;256;0;0V"), "version(01000000)"},
      {E("@256;0;0;1V"), "version(00000001)"}, {E("@0;0;0;65535V"), "version(0000ffff)"},
  });
}

TEST(ParserTest, RecoversAfterARandomStream) {
  std::mt19937 rng(0x7A51D15u);
  const std::string pick = "\x1b\x1b[@;;>0123456789HmzZIVJK\r\n\x82\xA0\xB1";
  std::string stream;
  for (int i = 0; i < 20000; ++i) stream += rng() % 2 ? static_cast<char>(rng()) : pick[rng() % pick.size()];
  Recorder screen;
  EscSeqParser parser(&screen);
  for (unsigned char c : stream + "\r") parser.ParseByte(c);
  screen.calls.clear();
  for (unsigned char c : E("[3;4H") + "ok") parser.ParseByte(c);
  EXPECT_EQ(screen.calls, "move(3,4) puts(o) puts(k)");
}

}  // namespace
