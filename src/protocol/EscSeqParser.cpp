// Byte-stream parser: a two-stage state machine. Stage 1 collects the bytes of
// an open escape sequence; every byte it does not take (and every byte while
// no sequence is open) goes to stage 2, which handles text, Shift_JIS and the
// few control codes that act.
#include "protocol/EscSeqParser.h"

#include <climits>
#include <cstring>

#include "screen/edispSDL.h"

namespace {

// Control bytes.
constexpr unsigned char kBackspace = 0x08;
constexpr unsigned char kTab = 0x09;
constexpr unsigned char kLineFeed = 0x0A;
constexpr unsigned char kVerticalTab = 0x0B;
constexpr unsigned char kFormFeed = 0x0C;
constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kDel = 0x7F;

// Bytes that the sequence collector looks at (stage 1).
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kLastCollected = 0x7F;

// Introducers: the byte after ESC that opens a longer sequence.
constexpr char kIntroCharset94 = '(';
constexpr char kIntroCharsetMulti = '$';
constexpr char kIntroUnit = '@';
constexpr char kIntroCsi = '[';

// Two-byte sequences.
constexpr char kSaveAttribute = '7';
constexpr char kLoadAttribute = '8';

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

// Screen-control selectors of ESC @ n Z.
constexpr int kZInitDisplay = 0;
constexpr int kZCharSizeBase = 4;
constexpr int kZLayerShowBase = 30;
constexpr int kZLayerClearBase = 70;
constexpr int kCharSizeCount = 3;
constexpr int kLayerCount = 4;

// Shapes of ESC @ s ; ... z and the number of values each needs in all
// (the shape number included).
constexpr int kShapeFillRect = 0;
constexpr int kShapeLine = 2;
constexpr int kShapeEllipse = 3;
constexpr int kShapeRect = 4;
constexpr int kShapeValuesMax = 8;
constexpr int kShapeValuesRect = 7;
constexpr int kShapeValuesEllipse = 8;

constexpr int kCsiAttributesMax = 6;
constexpr int kImageValuesMax = 5;
constexpr int kVersionValues = 4;

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

EscSeqParser::EscSeqParser(edispSDL* disp)
    : display(disp),
      seqState(Text),
      sjisLead(0),
      converter(iconv_open("UTF-8", "sjis")),
      fwVersion(0),
      conversionCacheEnabled(true),
      conversions(kConversionSlots, Conversion{Conversion::Unknown, {}}) {
  seqBuffer.reserve(kMaxSequenceLength);
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
  // Stage 1: an open sequence takes the printable bytes.
  if (seqState != Text && c >= kFirstPrintable && c <= kLastCollected) {
    if (seqState == Escape) {
      appendToSequence(c);
      if (c == kIntroCharsetMulti || c == kIntroCharset94 || c == kIntroUnit || c == kIntroCsi) {
        seqState = Collect;
      } else {
        executeSequence();  // ESC and one byte: complete.
      }
      return;
    }
    if (isParameterByte(c)) {
      appendToSequence(c);
    } else if (isFinalByte(c)) {
      appendToSequence(c);
      if (seqState == Collect) {
        executeSequence();
      }
    } else {
      seqState = Text;  // Malformed: the sequence and this byte are dropped.
    }
    return;
  }

  // Stage 2: an interrupting byte abandons an open sequence and is then
  // handled as text or control.
  seqState = Text;
  handleTextByte(c);
}

// Appends to the open sequence; a sequence that outgrows the buffer is
// abandoned and the byte that did not fit is dropped.
void EscSeqParser::appendToSequence(unsigned char c) {
  if (seqBuffer.size() >= kMaxSequenceLength) {
    seqState = Text;
    return;
  }
  seqBuffer.push_back(static_cast<char>(c));
}

void EscSeqParser::executeSequence() {
  ParseEscapeSequence(seqBuffer);
  seqState = Text;
}

void EscSeqParser::handleTextByte(unsigned char c) {
  if (sjisLead != 0) {
    unsigned char lead = sjisLead;
    sjisLead = 0;
    if (isTrailByte(c)) {
      drawCharacter(lead, c);
      return;
    }
    // A lead byte without its trail byte is dropped; c goes on as usual.
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
      return;
    case kEsc:
      seqState = Escape;
      seqBuffer.clear();
      return;
    case kDel:
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
  }
  // Remaining control bytes are ignored.
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
  }
}

// Converts one Shift_JIS character (its bytes and a NUL) to UTF-8 and draws
// it. A character the converter rejects, or any character when there is no
// converter, draws nothing.
void EscSeqParser::drawConverted(char* in, std::size_t inLen) {
  char out[kConvertedSize];
  if (convert(in, inLen, out, sizeof out)) {
    display->puts_(out, 0);
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

int EscSeqParser::ExtractParamString(const std::string& params, int* values, int maxCount) {
  return extractParams(params.data(), params.size(), values, maxCount);
}

int EscSeqParser::extractParams(const char* text, std::size_t len, int* values, int maxCount) {
  if (maxCount < 1) {
    return 0;
  }
  int count = 0;
  std::size_t pos = 0;
  for (;;) {
    const void* sep = std::memchr(text + pos, ';', len - pos);
    std::size_t end = sep ? static_cast<std::size_t>(static_cast<const char*>(sep) - text) : len;
    if (end > pos) {
      if (text[pos] < '0' || text[pos] > '9') {
        return -1;  // No number in this field.
      }
      long long value = 0;
      for (std::size_t i = pos; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
          return -1;
        }
      }
      values[count++] = static_cast<int>(value);
    }
    if (count >= maxCount || sep == nullptr) {
      return count;
    }
    pos = end + 1;
  }
}

void EscSeqParser::ParseEscapeSequence(const std::string& seq) {
  if (seq.empty()) {
    return;
  }
  char intro = seq[0];
  if (seq.size() == 1) {
    if (intro == kSaveAttribute) {
      display->save_attribute(0);
    } else if (intro == kLoadAttribute) {
      display->load_attribute(0);
    }
    return;
  }
  char command = seq[seq.size() - 1];
  const char* params = seq.data() + 1;
  std::size_t len = seq.size() - 2;
  if (intro == kIntroCsi) {
    dispatchCsi(command, params, len);
  } else if (intro == kIntroUnit) {
    dispatchUnit(command, params, len);
  }
  // "$" and "(" sequences are collected but carry no command.
}

// The "[" group: cursor, erasing, attributes, cursor visibility.
void EscSeqParser::dispatchCsi(char command, const char* params, std::size_t len) {
  int v[kCsiAttributesMax];
  bool none = (len == 0);
  switch (command) {
    case 'A':
    case 'B':
    case 'C':
    case 'D': {
      int n = 1;
      if (!none) {
        if (extractParams(params, len, v, 1) != 1) {
          return;
        }
        n = v[0];
      }
      if (command == 'A') {
        display->curmove(-n, 0);
      } else if (command == 'B') {
        display->curmove(n, 0);
      } else if (command == 'C') {
        display->curmove(0, n);
      } else {
        display->curmove(0, -n);
      }
      return;
    }
    case 'H':
    case 'f':
      if (none) {
        display->move(0, 0);
      } else if (extractParams(params, len, v, 2) == 2) {
        display->move(v[0], v[1]);
      }
      return;
    case 'J':
      if (!none && extractParams(params, len, v, 1) == 1 && v[0] == 2) {
        display->clear();
      }
      return;
    case 'K':
      if (none) {
        display->del_to_end();
      } else if (extractParams(params, len, v, 1) == 1) {
        if (v[0] == 0) {
          display->del_to_end();
        } else if (v[0] == 2) {
          display->del_row();
        }
      }
      return;
    case 'X':
      if (none) {
        display->del(1);
      } else if (extractParams(params, len, v, 1) == 1) {
        display->del(v[0]);
      }
      return;
    case 'm': {
      if (none) {
        display->set_attribute(0);
        return;
      }
      switch (extractParams(params, len, v, kCsiAttributesMax)) {
        case 1: display->set_attribute(v[0]); break;
        case 2: display->set_attribute(v[0], v[1]); break;
        case 3: display->set_attribute(v[0], v[1], v[2]); break;
        case 4: display->set_attribute(v[0], v[1], v[2], v[3]); break;
        default: break;
      }
      return;
    }
    case 's':
      if (none) {
        display->save_attribute(0);
      }
      return;
    case 'u':
      if (none) {
        display->load_attribute(0);
      }
      return;
    case 'h':
    case 'l':
      if (len >= 2 && params[0] == '>' && params[1] == '5') {
        if (command == 'h') {
          display->curoff();
        } else {
          display->curon();
        }
      }
      return;
    case '*':
      if (none) {
        display->clear();
      }
      return;
    default:
      // L, M, P and g are known but have no effect here; any other final
      // byte is not a command.
      return;
  }
}

// The "@" group: layers, pictures, character size, reset, version report.
void EscSeqParser::dispatchUnit(char command, const char* params, std::size_t len) {
  int v[kShapeValuesMax];
  bool none = (len == 0);
  switch (command) {
    case 'I': {
      if (none) {
        display->draw_image(1, 0, 0, 0);
        return;
      }
      switch (extractParams(params, len, v, kImageValuesMax)) {
        case 2: display->draw_image(v[0], v[1], 0, 0); break;
        case 3: display->draw_image2(v[0], v[1], v[2], 0, 0); break;
        case 4: display->draw_image(v[0], v[1], v[2], v[3]); break;
        case 5: display->draw_image2(v[0], v[1], v[2], v[3], v[4]); break;
        default: break;
      }
      return;
    }
    case 'V':
      if (extractParams(params, len, v, kVersionValues) == kVersionValues) {
        fwVersion = (static_cast<uint32_t>(v[0]) << 24) | (static_cast<uint32_t>(v[1]) << 16) |
                    (static_cast<uint32_t>(v[2]) << 8) | static_cast<uint32_t>(v[3]);
      }
      return;
    case 'Z': {
      if (extractParams(params, len, v, 1) != 1) {
        return;
      }
      int n = v[0];
      if (n == kZInitDisplay) {
        display->init_disp();
      } else if (n >= kZCharSizeBase && n < kZCharSizeBase + kCharSizeCount) {
        display->set_charsize(n - kZCharSizeBase);
      } else if (n >= kZLayerShowBase && n < kZLayerShowBase + kLayerCount) {
        display->set_bgbuff(n - kZLayerShowBase);
      } else if (n >= kZLayerClearBase && n < kZLayerClearBase + kLayerCount) {
        display->clear_bgbuff(n - kZLayerClearBase);
      }
      return;
    }
    case 'z': {
      int count = extractParams(params, len, v, kShapeValuesMax);
      if (count < 1) {
        return;
      }
      switch (v[0]) {
        case kShapeFillRect:
          if (count >= kShapeValuesRect) {
            display->draw_fillrect(v[1], v[2], v[3], v[4], v[5], v[6]);
          }
          break;
        case kShapeLine:
          if (count >= kShapeValuesRect) {
            display->draw_line(v[1], v[2], v[3], v[4], v[5], v[6]);
          }
          break;
        case kShapeEllipse:
          if (count >= kShapeValuesEllipse) {
            display->draw_ellipse(v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
          }
          break;
        case kShapeRect:
          if (count >= kShapeValuesRect) {
            display->draw_rectangle(v[1], v[2], v[3], v[4], v[5], v[6]);
          }
          break;
        default:
          break;
      }
      return;
    }
    default:
      return;
  }
}
