// Splits the byte stream that the display program sends to the unit into
// events: keep-alive bytes, the firmware version request and the input
// reports (buttons, keys, typed characters, wheel and mouse). Malformed or
// unknown sequences are dropped; nothing the program sends can make the
// decoder grow without bound. The simulated unit reads the program with it,
// and the trace names the reports with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HostEvent {
  enum Kind {
    KeepAlive,       // FE
    VersionRequest,  // ESC @ 999 y
    Up,              // ESC [ A
    Down,            // ESC [ B
    Right,           // ESC [ C
    Left,            // ESC [ D
    Enter,           // CR
    Back,            // BS
    Home,            // ESC [ 1
    End,             // ESC [ 4
    PageUp,          // ESC [ 5
    PageDown,        // ESC [ 6
    Function,        // ESC O P .. ESC O Y; number = 1..10
    WheelUp,         // ESC @ 995 y
    WheelDown,       // ESC @ 996 y
    WheelLeft,       // ESC @ 997 y
    WheelRight,      // ESC @ 998 y
    Char,            // a printable byte 32..126; number = the byte
    Mouse            // ESC [ < code ; x ; y M
  };

  Kind kind = KeepAlive;
  int number = 0;  // function key number or the typed byte
  int code = 0;    // mouse event code
  int x = 0;       // mouse position in screen pixels
  int y = 0;

  bool operator==(const HostEvent& other) const;
};

// The event's name, as the trace and the simulator's log show it: "up",
// "enter", "key 'a'", "F1", "wheel up", "mouse 1 at 200,100"...
std::string describe(const HostEvent& event);

class HostInputDecoder {
public:
  // Consumes bytes and appends every completed event to `out`.
  void feed(const uint8_t* data, size_t len, std::vector<HostEvent>& out);
  void feed(const std::string& bytes, std::vector<HostEvent>& out);

  // Drops a partly received sequence (after the link was lost).
  void reset();

private:
  enum State { Ground, Escape, Csi, Ss3, AtCommand, MouseReport };

  void step(uint8_t c, std::vector<HostEvent>& out);
  void ground(uint8_t c, std::vector<HostEvent>& out);
  // The key of an ESC [ <c> report (arrows, navigation keys); false for none.
  static bool csiKey(uint8_t c, HostEvent& event);
  void finishAtCommand(std::vector<HostEvent>& out);
  void finishMouseReport(std::vector<HostEvent>& out);

  State state = Ground;
  std::string collected;  // digits and separators of an "@" command or a mouse report
};
