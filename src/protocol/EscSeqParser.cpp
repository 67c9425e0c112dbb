// Byte-stream parser, written as its state diagram: one case per state of
// the sequence collector. Bytes that no open sequence takes go to the text
// handling (textByte), which draws ASCII and Shift_JIS characters, acts on
// CR and LF, and opens a sequence on ESC. What a complete sequence does is
// in EscSeqCommands.cpp.
#include "protocol/EscSeqParser.h"


#include "protocol/DecimalNumber.h"
#include "protocol/UnitWire.h"
#include "screen/ScreenIntf.h"

namespace {

using namespace unit_wire;

// Bytes that an open sequence takes; any other byte interrupts it.
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kLastCollected = 0x7F;

// Introducers that open a sequence with no command of its own.
constexpr char kIntroCharset94 = '(';
constexpr char kIntroCharsetMulti = '$';

// Shift_JIS byte ranges.
constexpr unsigned char kTrailFirst = 0x40;
constexpr unsigned char kTrailLast = 0xFC;
constexpr unsigned char kLeadLowFirst = 0x80;
constexpr unsigned char kLeadLowLast = 0xA0;
constexpr unsigned char kKanaFirst = 0xA1;
constexpr unsigned char kKanaLast = 0xDF;
constexpr unsigned char kLeadHighFirst = 0xE0;

// Room for one converted character and its terminating NUL.
constexpr std::size_t kConvertedSize = 8;

// Slots of the conversion table: the single bytes first, then 256 per lead
// byte (0x80-0xA0, then 0xE0-0xFF).
constexpr std::size_t kSingleSlots = 256;
constexpr std::size_t kLowLeadCount = kLeadLowLast - kLeadLowFirst + 1;
constexpr std::size_t kLeadCount = kLowLeadCount + (0x100 - kLeadHighFirst);
constexpr std::size_t kConversionSlots = kSingleSlots + kLeadCount * 256;

std::size_t conversionSlot(unsigned char lead, unsigned char trail) {
  if (lead == 0) {
    return trail;
  }
  const std::size_t leadIndex = lead <= kLeadLowLast ? lead - kLeadLowFirst : kLowLeadCount + (lead - kLeadHighFirst);
  return kSingleSlots + leadIndex * 256 + trail;
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

bool isCollected(unsigned char c) {
  return c >= kFirstPrintable && c <= kLastCollected;
}

bool isParameterByte(unsigned char c) {
  return (c >= '0' && c <= '9') || c == ';' || c == '>';
}

bool isFinalByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '@' || c == '*';
}

bool isLeadByte(unsigned char c) {
  return c >= kLeadHighFirst || (c >= kLeadLowFirst && c <= kLeadLowLast);
}

bool isTrailByte(unsigned char c) {
  return c >= kTrailFirst && c <= kTrailLast && c != kDel;
}

}  // namespace

EscSeqParser::EscSeqParser(ScreenIntf* disp)
    : fwVersion(0),
      display(disp),
      seqState(State::Text),
      sjisLead(0),
      field(Field::Start),
      valuesKept(0),
      fieldValue(0),
      converter(iconv_open("UTF-8", "sjis")),
      conversionCacheEnabled(true),
      conversions(kConversionSlots, Conversion{Conversion::Unknown, {}}),
      observer(nullptr) {
  seqBuffer.reserve(kMaxKeptLength);
}

void EscSeqParser::setConversionCacheEnabled(bool on) {
  conversionCacheEnabled = on;
}

EscSeqParser::~EscSeqParser() {
  if (converter != kNoConverter) {
    iconv_close(converter);
  }
}

void EscSeqParser::ParseByte(unsigned char c) {
  switch (seqState) {
    case State::Text:
      textByte(c);  // Text or control; ESC opens a sequence.
      return;

    case State::Escape:
      if (!isCollected(c)) {
        seqState = State::Text;  // Interrupted: nothing kept, c is text or control (ESC starts anew).
        drop(ParseObserver::Dropped::Interrupted, false);
        textByte(c);
      } else if (c == kIntroCsi || c == kIntroUnit || c == kIntroCharset94 || c == kIntroCharsetMulti) {
        seqBuffer.push_back(static_cast<char>(c));
        field = Field::Start;
        valuesKept = 0;
        seqState = State::Collect;  // Introducer: parameters follow.
      } else {
        seqBuffer.push_back(static_cast<char>(c));
        ParseEscapeSequence(seqBuffer);
        seqState = State::Text;  // ESC and one byte: complete.
      }
      return;

    case State::Collect:
      if (!isCollected(c)) {
        seqState = State::Text;  // Interrupted: the sequence is abandoned, c is text or control.
        drop(ParseObserver::Dropped::Interrupted, false);
        textByte(c);
      } else if (isParameterByte(c)) {
        collectParameter(c);
      } else if (isFinalByte(c)) {
        seqBuffer.push_back(static_cast<char>(c));
        ParseEscapeSequence(seqBuffer);
        seqState = State::Text;  // Final byte: complete.
      } else {
        seqState = State::Text;  // Malformed: the sequence and c are dropped.
        drop(ParseObserver::Dropped::Malformed);
      }
      return;
  }
}

// Keeps of one parameter byte what a command can read (see Field), so that
// the kept sequence does what the whole one would.
void EscSeqParser::collectParameter(unsigned char c) {
  const char byte = static_cast<char>(c);
  switch (field) {
    case Field::Start:
      if (c == ';') {
        if (seqBuffer.back() != ';') {
          seqBuffer.push_back(byte);  // An empty field carries nothing: one ';' stands for a run.
        }
      } else if (valuesKept == kMaxValues) {
        field = Field::Ignored;  // Past the most values a command reads.
      } else if (c == '>') {
        seqBuffer.push_back(byte);
        field = Field::Marker;  // No number: a command reading this field ignores the sequence.
      } else {
        seqBuffer.push_back(byte);
        ++valuesKept;
        fieldValue = c - '0';
        field = Field::Number;
      }
      return;

    case Field::Number:
      if (c == ';') {
        seqBuffer.push_back(byte);
        field = Field::Start;
      } else if (c == '>') {
        field = Field::NumberEnd;  // The number is complete; the rest of the field carries nothing.
      } else if (fieldValue == 0) {
        seqBuffer.back() = byte;  // A leading zero carries nothing.
        fieldValue = c - '0';
      } else {
        seqBuffer.push_back(byte);
        if (!addDigit(fieldValue, c)) {
          field = Field::Ignored;  // Past the largest number: a command reading it ignores the sequence.
        }
      }
      return;

    case Field::NumberEnd:
      if (c == ';') {
        seqBuffer.push_back(byte);
        field = Field::Start;
      }
      return;

    case Field::Marker:
      if (c != ';') {
        seqBuffer.push_back(byte);  // With its '>', tells "[>5h" from other sequences.
      }
      field = Field::Ignored;
      return;

    case Field::Ignored:
      return;
  }
}

// A byte outside any sequence: a Shift_JIS trail byte completing a pending
// lead, a control code, ESC, or a character.
void EscSeqParser::textByte(unsigned char c) {
  if (sjisLead != 0) {
    const unsigned char lead = sjisLead;
    sjisLead = 0;
    if (isTrailByte(c)) {
      drawCharacter(lead, c);
      return;
    }
    // A lead byte without its trail byte is dropped; c goes on as usual.
    drop(ParseObserver::Dropped::LeadWithoutTrail, false);
  }

  switch (c) {
    case kLineFeed:
      display->curmove(1, 0);
      return;
    case kCarriageReturn:
      display->cur_rowtop();
      return;
    case kBackspace:
    case kTab:
    case kVerticalTab:
    case kFormFeed:
    case kDel:
      drop(ParseObserver::Dropped::ControlByte);
      return;
    case kEsc:
      seqBuffer.clear();
      seqState = State::Escape;  // A sequence opens.
      return;
    default:
      break;
  }

  if (c >= kFirstPrintable && c < kDel) {
    char text[2] = {static_cast<char>(c), '\0'};
    display->puts_(text, 0);
  } else if (isLeadByte(c)) {
    sjisLead = c;
  } else if (c >= kKanaFirst && c <= kKanaLast) {
    drawCharacter(0, c);
  } else {
    drop(ParseObserver::Dropped::ControlByte);  // The remaining control bytes.
  }
}

// Draws one Shift_JIS character: a half-width one has lead 0. The outcome
// of converting a character never changes, so it is looked up once and kept.
void EscSeqParser::drawCharacter(unsigned char lead, unsigned char trail) {
  char in[3] = {static_cast<char>(lead ? lead : trail), static_cast<char>(lead ? trail : 0), '\0'};
  const std::size_t inLen = lead ? 3 : 2;
  if (!conversionCacheEnabled || converter == kNoConverter) {
    drawConverted(in, inLen);
    return;
  }
  Conversion& kept = conversions[conversionSlot(lead, trail)];
  if (kept.state == Conversion::Unknown) {
    kept.state = convert(in, inLen, kept.utf8, sizeof kept.utf8) ? Conversion::Drawn : Conversion::Rejected;
  }
  if (kept.state == Conversion::Drawn) {
    display->puts_(kept.utf8, 0);
  } else {
    drop(ParseObserver::Dropped::NotInTable);
  }
}

// Converts one Shift_JIS character (its bytes and a NUL) to UTF-8 and draws
// it. A character the converter rejects, or any character when there is no
// converter, draws nothing.
void EscSeqParser::drawConverted(char* in, std::size_t inLen) {
  char out[kConvertedSize];
  if (convert(in, inLen, out, sizeof out)) {
    display->puts_(out, 0);
  } else {
    drop(ParseObserver::Dropped::NotInTable);
  }
}

// Converts the character's bytes and their NUL into out as NUL-terminated
// UTF-8; false when there is no converter or it rejects the character.
bool EscSeqParser::convert(char* in, std::size_t inLen, char* out, std::size_t outSize) {
  if (converter == kNoConverter) {
    return false;
  }
  char* inPtr = in;
  char* outPtr = out;
  std::size_t inLeft = inLen;
  std::size_t outLeft = outSize;
  std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
  if (result == static_cast<std::size_t>(-1)) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    return false;
  }
  std::size_t written = outSize - outLeft;
  if (inLeft != 0 || written < 2 || out[written - 1] != '\0') {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    return false;
  }
  return true;
}
