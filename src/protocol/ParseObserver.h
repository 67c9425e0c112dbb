// What the byte-stream parser tells besides its calls on the screen: the
// unit's firmware version report, and each byte or sequence it drops, with
// the reason. The parser works the same without one; the trace is one.
#pragma once

#include <cstdint>

class ParseObserver {
public:
  enum class Dropped {
    UnknownFinal,      // no command has this final byte
    ValueCount,        // the command does not take this number of values
    NoDigits,          // a field the command reads holds no number
    OutOfRange,        // a field the command reads holds a number above 2147483647
    Selector,          // the command has no such selector (J, K, Z, h, l, shape number)
    NoEffect,          // a known sequence without effect (L, M, P, g)
    CharacterSet,      // ESC ( or ESC $: character set selection, not carried out
    Interrupted,       // a byte below 0x20 or from 0x80 up cut the sequence short
    Malformed,         // a byte inside a sequence that is neither parameter nor final byte
    LeadWithoutTrail,  // a Shift_JIS lead byte not followed by a trail byte
    NotInTable,        // a Shift_JIS character the conversion table does not hold
    ControlByte,       // a control byte without effect
  };

  virtual ~ParseObserver() = default;
  // The bytes taken since the last call on the screen or the observer are
  // dropped for `why`: up to and including the byte being parsed when
  // `withThisByte`, else up to the one before it (which is then parsed on).
  virtual void dropped(Dropped why, bool withThisByte) = 0;
  // The unit reported its firmware version, packed a.b.c.d with a on top.
  virtual void versionReported(uint32_t version) = 0;
};
