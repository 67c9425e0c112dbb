#include "app/SessionRecorder.h"

#include <cinttypes>
#include <cstdio>

#include "app/Recording.h"
#include "protocol/FirmwareVersion.h"
#include "protocol/StreamTrace.h"

SessionRecorder::SessionRecorder(const std::string& path) : file(path, "recording") {
  file.write(std::string(Recording::kMagic) + std::to_string(Recording::kFormat) + "\nprogram tavixDisp " TAVIX_VERSION "\n");
}

// The device is written in printable form: a name with a line break in it
// cannot break the file's lines.
void SessionRecorder::begin(const std::string& device, unsigned long speed) {
  file.write("device " + StreamTrace::printable(device) + "\nspeed " + std::to_string(speed) + "\n");
}

void SessionRecorder::firmware(uint32_t version, uint64_t ms) {
  const std::string text = "firmware " + firmwareVersionText(version);
  event(ms, text.c_str());
}

// "S.mmm what" and, when there are bytes, a blank and the bytes in hex.
void SessionRecorder::event(uint64_t ms, const char* what, const unsigned char* bytes, std::size_t count) {
  if (!file.isOpen()) return;
  static const char kHex[] = "0123456789abcdef";
  char time[32];
  std::snprintf(time, sizeof time, "%" PRIu64 ".%03u ", ms / 1000, static_cast<unsigned>(ms % 1000));
  line = time;
  line += what;
  if (count > 0) line += ' ';
  std::size_t at = line.size();
  line.resize(at + 2 * count + 1);
  for (std::size_t i = 0; i < count; ++i, at += 2) {
    line[at] = kHex[bytes[i] >> 4];
    line[at + 1] = kHex[bytes[i] & 0xF];
  }
  line[at] = '\n';
  file.write(line);
}
