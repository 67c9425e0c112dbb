// A session recorded with --record, and how it is read back for the
// simulator's replay, its trace and its rendered screen. The file is text,
// one line each:
//
//   tavixDisp recording 1      the format and its version
//   program tavixDisp 1.0.0    the header, "name value": the program, the
//   device /dev/ttyACM0        device and its line speed
//   speed 230400
//   0.004 opened               then the events, each with its time in seconds
//   0.005 > fe                 since the program started, to the millisecond:
//   0.215 < 1b40313b323b333b3456   a connection opened, bytes to the unit (>)
//   0.230 firmware 1.2.3.4     and from it (<, in hex, as they arrived), the
//   0.230 dropped 12           unit's firmware version once known, how many
//   4.001 lost                 of the bytes last received the program dropped
//   4.001 reconnected          unparsed, the link lost and reopened.
//
// Each line is written whole as its event happens. A file that does not
// begin with "tavixDisp recording " is an earlier recording: the unit's
// bytes as they came, without times.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Recording {
  static constexpr const char* kMagic = "tavixDisp recording ";
  static constexpr int kFormat = 1;
  // Largest file read.
  static constexpr long kMaxBytes = 64L * 1024 * 1024;

  struct Event {
    enum Kind {
      FromUnit,     // bytes from the unit, parsed
      Discarded,    // bytes from the unit that the program dropped unparsed
      ToUnit,       // a report, the keep-alive byte or the version request
      Opened,       // the first connection
      Reconnected,  // a later one
      Lost,         // the link was lost
    };
    Kind kind;
    uint64_t ms;  // since the program started
    std::string bytes;
  };

  bool timed = false;  // false: an earlier recording, its bytes at time 0
  std::string program;
  std::string device;
  unsigned long speed = 0;
  uint32_t firmware = 0;  // 0: not known
  std::vector<Event> events;
  // Set when the last line was cut off (the recording ended in the middle
  // of an event): that line is left out.
  std::string note;
};

// Reads either kind of recording; false with `error` set ("FILE: line N:
// why") for a file that cannot be read, is too large, or is not one.
bool readRecording(const std::string& path, Recording& recording, std::string& error);
// The same for a file's bytes, read already from path.
bool parseRecording(const std::string& bytes, const std::string& path, Recording& recording, std::string& error);
