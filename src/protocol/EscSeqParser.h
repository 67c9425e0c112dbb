// Turns the unit's byte stream into calls on the screen: ASCII and Shift_JIS
// text, CR and LF, and escape sequences, one byte at a time.
#pragma once

#include <iconv.h>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/ParseObserver.h"

class ScreenIntf;

class EscSeqParser {
public:
  explicit EscSeqParser(ScreenIntf* disp);
  virtual ~EscSeqParser();
  EscSeqParser(const EscSeqParser&) = delete;
  EscSeqParser& operator=(const EscSeqParser&) = delete;

  void ParseByte(unsigned char c);
  // Carries out one complete sequence: the bytes after ESC, from the
  // introducer to the final byte.
  void ParseEscapeSequence(const std::string& seq);
  // Splits params at ';' into at most maxCount values; returns the count,
  // or -1 when a field read before the count is reached holds no number
  // (no leading digit) or a number that does not fit in 32 bits.
  static int ExtractParamString(const std::string& params, int* values, int maxCount);

  // Shift_JIS characters are converted once and the result reused (on by
  // default); off, every character goes through the converter. What is
  // drawn is the same either way.
  void setConversionCacheEnabled(bool on);

  // Told of every byte or sequence dropped and of the version report; null
  // (the default): nobody is told.
  void setObserver(ParseObserver* watcher) { observer = watcher; }

  // The unit's firmware version a.b.c.d packed with a in the top byte; 0
  // until the unit reports it.
  uint32_t fwVersion;

private:
  // Text: bytes are characters or control codes. Escape: ESC came, the next
  // byte decides. Collect: after an introducer, parameters until a final byte.
  enum class State { Text, Escape, Collect };

  // Where a parameter byte falls within its field. A sequence is read to
  // its final byte however long it is, but only what a command can read is
  // kept: each number without its leading zeros, one ';' for a run of
  // empty fields, a field opened by '>' with its next byte (for "[>5h"),
  // and nothing after the most values a command reads or after a field no
  // command can read (no number, or one past 32 bits). Start: a field
  // begins. Number: digits of a kept number. NumberEnd: the rest of a field
  // after its number. Marker: the byte after a field's '>'. Ignored: until
  // the final byte, nothing more is kept.
  enum class Field { Start, Number, NumberEnd, Marker, Ignored };

  // The most values any command reads.
  static constexpr int kMaxValues = 8;
  // Room for the longest sequence kept: introducer, a ';', the values each
  // with its ';' and at most eleven digits (the eleventh past 32 bits), and
  // the final byte. A '>' field takes a value's place.
  static constexpr std::size_t kMaxKeptLength = 2 + kMaxValues * 12 + 1;
  // Introducers of the two command groups.
  static constexpr char kIntroCsi = '[';
  static constexpr char kIntroUnit = '@';

  // Outcome of converting one character: not yet known, drawn as the kept
  // UTF-8 text, or rejected by the converter.
  struct Conversion {
    enum : unsigned char { Unknown, Drawn, Rejected };
    unsigned char state;
    char utf8[8];
  };

  void textByte(unsigned char c);
  void collectParameter(unsigned char c);
  void drawCharacter(unsigned char lead, unsigned char trail);
  void drawConverted(char* in, std::size_t inLen);
  bool convert(char* in, std::size_t inLen, char* out, std::size_t outSize);
  // ExtractParamString on a parameter text; -1 for a field that holds no
  // number or one past the largest, and then fault (if given) says which.
  static int extractParams(const char* text, std::size_t len, int* values, int maxCount,
                           ParseObserver::Dropped* fault = nullptr);
  void dispatchCsi(char command, const char* params, std::size_t len);
  void dispatchUnit(char command, const char* params, std::size_t len);
  void drop(ParseObserver::Dropped why, bool withThisByte = true) {
    if (observer) observer->dropped(why, withThisByte);
  }
  // A command that could not read its values: `got` is what extractParams
  // returned, fault what it said of a field it could not read.
  void refuse(int got, ParseObserver::Dropped fault) {
    drop(got >= 0 ? ParseObserver::Dropped::ValueCount : fault);
  }

  ScreenIntf* display;
  State seqState;
  unsigned char sjisLead;
  std::string seqBuffer;
  Field field;
  int valuesKept;
  int64_t fieldValue;
  iconv_t converter;
  bool conversionCacheEnabled;
  std::vector<Conversion> conversions;
  ParseObserver* observer;
};
