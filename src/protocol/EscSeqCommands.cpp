// The command set: what a complete escape sequence does. Two-byte sequences
// (ESC 7, ESC 8), the "[" group for the character screen and the "@" group,
// the unit's own commands for layers, pictures, character size, reset and
// the firmware version report.
#include <cstring>

#include "protocol/DecimalNumber.h"
#include "protocol/EscSeqParser.h"
#include "protocol/FirmwareVersion.h"
#include "screen/ScreenIntf.h"

namespace {

// Two-byte sequences.
constexpr char kSaveAttribute = '7';
constexpr char kLoadAttribute = '8';

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

using Dropped = ParseObserver::Dropped;

}  // namespace

int EscSeqParser::ExtractParamString(const std::string& params, int* values, int maxCount) {
  return extractParams(params.data(), params.size(), values, maxCount);
}

int EscSeqParser::extractParams(const char* text, std::size_t len, int* values, int maxCount, Dropped* fault) {
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
        if (fault) *fault = Dropped::NoDigits;
        return -1;
      }
      const char* digits = text + pos;
      int64_t value = 0;
      if (!readDecimal(digits, text + end, value)) {
        if (fault) *fault = Dropped::OutOfRange;
        return -1;
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
    } else {
      drop(Dropped::UnknownFinal);
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
  } else {
    drop(Dropped::CharacterSet);  // "$" and "(" sequences are collected but carry no command.
  }
}


// The "[" group: cursor, erasing, attributes, cursor visibility.
void EscSeqParser::dispatchCsi(char command, const char* params, std::size_t len) {
  int v[kCsiAttributesMax];
  bool none = (len == 0);
  int got = 0;
  Dropped fault = Dropped::ValueCount;
  switch (command) {
    case 'A':
    case 'B':
    case 'C':
    case 'D': {
      int n = 1;
      if (!none) {
        if ((got = extractParams(params, len, v, 1, &fault)) != 1) {
          refuse(got, fault);
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
      } else if ((got = extractParams(params, len, v, 2, &fault)) == 2) {
        display->move(v[0], v[1]);
      } else {
        refuse(got, fault);
      }
      return;
    case 'J':
      if (none || (got = extractParams(params, len, v, 1, &fault)) != 1) {
        refuse(got, fault);
      } else if (v[0] == 2) {
        display->clear();
      } else {
        drop(Dropped::Selector);
      }
      return;
    case 'K':
      if (none) {
        display->del_to_end();
      } else if ((got = extractParams(params, len, v, 1, &fault)) != 1) {
        refuse(got, fault);
      } else if (v[0] == 0) {
        display->del_to_end();
      } else if (v[0] == 2) {
        display->del_row();
      } else {
        drop(Dropped::Selector);
      }
      return;
    case 'X':
      if (none) {
        display->del(1);
      } else if ((got = extractParams(params, len, v, 1, &fault)) == 1) {
        display->del(v[0]);
      } else {
        refuse(got, fault);
      }
      return;
    case 'm':
      if (none) {
        display->set_attribute(0);
        return;
      }
      switch (got = extractParams(params, len, v, kCsiAttributesMax, &fault)) {
        case 1: display->set_attribute(v[0]); break;
        case 2: display->set_attribute(v[0], v[1]); break;
        case 3: display->set_attribute(v[0], v[1], v[2]); break;
        case 4: display->set_attribute(v[0], v[1], v[2], v[3]); break;
        default: refuse(got, fault); break;
      }
      return;
    case 's':
    case 'u':
    case '*':
      if (!none) {
        drop(Dropped::ValueCount);
      } else if (command == 's') {
        display->save_attribute(0);
      } else if (command == 'u') {
        display->load_attribute(0);
      } else {
        display->clear();
      }
      return;
    case 'h':
    case 'l':
      if (len < 2 || params[0] != '>' || params[1] != '5') {
        drop(Dropped::Selector);
      } else if (command == 'h') {
        display->curoff();
      } else {
        display->curon();
      }
      return;
    case 'L':
    case 'M':
    case 'P':
    case 'g':
      drop(Dropped::NoEffect);  // Known, but without effect here.
      return;
    default:
      drop(Dropped::UnknownFinal);
      return;
  }
}

// The "@" group: layers, pictures, character size, reset, version report.
void EscSeqParser::dispatchUnit(char command, const char* params, std::size_t len) {
  static_assert(kShapeValuesMax <= kMaxValues && kCsiAttributesMax <= kMaxValues, "the parser keeps too few values");
  int v[kShapeValuesMax];
  bool none = (len == 0);
  int got = 0;
  Dropped fault = Dropped::ValueCount;
  switch (command) {
    case 'I':
      if (none) {
        display->draw_image(1, 0, 0, 0);
        return;
      }
      switch (got = extractParams(params, len, v, kImageValuesMax, &fault)) {
        case 2: display->draw_image(v[0], v[1], 0, 0); break;
        case 3: display->draw_image2(v[0], v[1], v[2], 0, 0); break;
        case 4: display->draw_image(v[0], v[1], v[2], v[3]); break;
        case 5: display->draw_image2(v[0], v[1], v[2], v[3], v[4]); break;
        default: refuse(got, fault); break;
      }
      return;
    case 'V':
      if ((got = extractParams(params, len, v, kVersionValues, &fault)) != kVersionValues) {
        refuse(got, fault);
        return;
      }
      fwVersion = packFirmwareVersion(static_cast<uint32_t>(v[0]), static_cast<uint32_t>(v[1]),
                                      static_cast<uint32_t>(v[2]), static_cast<uint32_t>(v[3]));
      if (observer) observer->versionReported(fwVersion);
      return;
    case 'Z': {
      if ((got = extractParams(params, len, v, 1, &fault)) != 1) {
        refuse(got, fault);
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
      } else {
        drop(Dropped::Selector);
      }
      return;
    }
    case 'z': {
      const int count = extractParams(params, len, v, kShapeValuesMax, &fault);
      if (count < 1) {
        refuse(count, fault);
        return;
      }
      const int needed = v[0] == kShapeEllipse ? kShapeValuesEllipse : kShapeValuesRect;
      if (v[0] != kShapeFillRect && v[0] != kShapeLine && v[0] != kShapeEllipse && v[0] != kShapeRect) {
        drop(Dropped::Selector);
      } else if (count < needed) {
        drop(Dropped::ValueCount);
      } else if (v[0] == kShapeFillRect) {
        display->draw_fillrect(v[1], v[2], v[3], v[4], v[5], v[6]);
      } else if (v[0] == kShapeLine) {
        display->draw_line(v[1], v[2], v[3], v[4], v[5], v[6]);
      } else if (v[0] == kShapeEllipse) {
        display->draw_ellipse(v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
      } else {
        display->draw_rectangle(v[1], v[2], v[3], v[4], v[5], v[6]);
      }
      return;
    }
    default:
      drop(Dropped::UnknownFinal);
      return;
  }
}
