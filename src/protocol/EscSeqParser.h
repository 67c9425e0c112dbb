// Turns the unit's byte stream into calls on the screen: ASCII and Shift_JIS
// text, CR and LF, and escape sequences, one byte at a time.
#pragma once

#include <iconv.h>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

  // The unit's firmware version a.b.c.d packed with a in the top byte; 0
  // until the unit reports it.
  uint32_t fwVersion;

private:
  // Text: bytes are characters or control codes. Escape: ESC came, the next
  // byte decides. Collect: after an introducer, parameters until a final byte.
  enum class State { Text, Escape, Collect };

  // Longest sequence kept (introducer, parameters and final byte, without
  // the ESC); a longer one is abandoned when its next byte would not fit.
  static constexpr std::size_t kMaxSequenceLength = 256;
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
  void drawCharacter(unsigned char lead, unsigned char trail);
  void drawConverted(char* in, std::size_t inLen);
  bool convert(char* in, std::size_t inLen, char* out, std::size_t outSize);
  static int extractParams(const char* text, std::size_t len, int* values, int maxCount);
  void dispatchCsi(char command, const char* params, std::size_t len);
  void dispatchUnit(char command, const char* params, std::size_t len);

  ScreenIntf* display;
  State seqState;
  unsigned char sjisLead;
  std::string seqBuffer;
  iconv_t converter;
  bool conversionCacheEnabled;
  std::vector<Conversion> conversions;
};
