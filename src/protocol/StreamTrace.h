// The trace of a session: one line per event on the link, both directions,
// each with its time, its bytes in printable form and what they mean. From
// the unit: the screen calls that a sequence or a run of text makes (the
// trace stands between the parser and the screen, notes each call and
// passes it on), the firmware version report, and every byte or sequence
// the parser drops, with the reason. To the unit: each report by name, the
// keep-alive byte and the version request. And the connection's events.
//
//      0.004 --- opened /dev/ttyACM0 at 230400 bit/s
//      0.215 U>H "\e[5;10H" move(5, 10)
//      0.215 U>H "Hi" puts_("Hi")
//      0.215 U>H "\e[5;1;2H" ignored: wrong number of values
//      1.730 H>U "\e[A" up
//
// Bytes are shown as printable ASCII, with \e, \r, \n, \b, \t, \\, \" and
// \xHH for the rest, as printf(1) reads them back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "protocol/HostInputDecoder.h"
#include "protocol/ParseObserver.h"
#include "screen/ScreenIntf.h"

class EscSeqParser;

class StreamTrace : public ScreenIntf, public ParseObserver {
public:
  // Screen calls go on to `screen`, or end here when it is null. The parser
  // that feeds the trace is bound to it as its screen and its observer.
  explicit StreamTrace(ScreenIntf* screen);

  // The lines made so far, each with its newline; whoever writes them out
  // empties it.
  std::string& lines() { return out; }

  // A byte from the unit that arrived at ms, given to the parser here.
  void parse(EscSeqParser& parser, unsigned char byte, uint64_t ms);
  // The bytes that arrived together have all been parsed: a run of text ends.
  void chunkParsed();
  // Bytes from the unit that the program dropped unparsed: those that came
  // after the version report, before the main loop.
  void discarded(const std::string& bytes, uint64_t ms);
  // Bytes to the unit: a report, the keep-alive byte or the version request.
  void toUnit(const unsigned char* bytes, std::size_t count, uint64_t ms);
  void opened(const std::string& device, unsigned long baudrate, uint64_t ms);
  void reconnected(const std::string& device, uint64_t ms);
  void lost(uint64_t ms);

  // The printable form of bytes.
  static std::string printable(const std::string& bytes);
  static void appendPrintable(std::string& to, const char* bytes, std::size_t count);

  // ScreenIntf: noted, then passed on.
  void puts_(const char* text, unsigned len) override;
  void move(int row, int col) override;
  void curmove(int dRow, int dCol) override;
  void cur_rowtop() override;
  void curon() override;
  void curoff() override;
  void set_attribute(int a) override;
  void set_attribute(int a, int b) override;
  void set_attribute(int a, int b, int c) override;
  void set_attribute(int a, int b, int c, int d) override;
  void save_attribute(int slot) override;
  void load_attribute(int slot) override;
  void clear() override;
  void del_to_end() override;
  void del_row() override;
  void del(int n) override;
  void init_disp() override;
  void set_charsize(int n) override;
  void set_bgbuff(int layer) override;
  void clear_bgbuff(int layer) override;
  void draw_fillrect(int layer, int w, int h, int x, int y, int colour) override;
  void draw_rectangle(int layer, int w, int h, int x, int y, int colour) override;
  void draw_line(int layer, int x1, int y1, int x2, int y2, int colour) override;
  void draw_ellipse(int layer, int filled, int cx, int cy, int rx, int ry, int colour) override;
  void draw_image(int picture, int layer, int x, int y) override;
  void draw_image2(int picture, int layer, int folder, int x, int y) override;

  // ParseObserver.
  void dropped(Dropped why, bool withThisByte) override;
  void versionReported(uint32_t version) override;

private:
  // Bytes shown of one event; a longer one (a sequence that never ends) is
  // shown cut, with the count of the bytes left out. A run of text gets a
  // line of its own at this length.
  static constexpr std::size_t kMaxShownBytes = 4096;

  void take(unsigned char byte);
  void call(const char* name, std::initializer_list<int> args);
  void line(uint64_t ms, const char* direction, const std::string& bytes, const char* meaning, std::size_t cut,
            bool ends = true);
  void line(uint64_t ms, const char* direction, const std::string& bytes, const std::string& meaning, std::size_t cut = 0);
  void endRun();

  ScreenIntf* screen;
  std::string out;
  HostInputDecoder reports;
  std::vector<HostEvent> decoded;
  uint64_t unitMs = 0;
  // Bytes taken since the last line and the calls they made; the run of
  // text (its bytes and the text drawn) that has no line yet; the byte being
  // parsed, whether it drew, and whether it went with dropped bytes.
  std::string pending;
  std::size_t pendingCut = 0;
  std::string calls;
  unsigned char current = 0;
  bool drew = false;
  bool taken = false;
  std::string runBytes;
  std::string runText;
};
