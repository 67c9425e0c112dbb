// tavixSim: a simulated T.A.V.I.X unit on a pseudo-terminal. It prints the
// device path to open and serves it until interrupted. Without a device it
// also shows what a recording holds: its trace (--decode) or the screen it
// leaves (--replay with --png).
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "SimulatedUnit.h"
#include "app/Recording.h"
#include "app/RecordingPlayback.h"

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

bool read(const std::string& path, Recording& recording) {
  std::string error;
  if (!readRecording(path, recording, error)) {
    std::fprintf(stderr, "tavixSim: %s\n", error.c_str());
    return false;
  }
  if (!recording.note.empty()) std::fprintf(stderr, "tavixSim: %s\n", recording.note.c_str());
  return true;
}

int decode(const std::string& path) {
  Recording recording;
  if (!read(path, recording)) return 1;
  decodeRecording(recording, [](const std::string& line) { std::fputs(line.c_str(), stdout); });
  return 0;
}

int render(const SimOptions& options) {
  Recording recording;
  if (!read(options.replayFile, recording)) return 1;
  if (options.atMs != UINT64_MAX && !recording.timed) {
    std::fprintf(stderr, "tavixSim: %s has no times (an earlier recording): --at needs one made with --record\n",
                 options.replayFile.c_str());
    return 2;
  }
  std::string error;
  if (!renderRecording(recording, {options.pngFile, options.atMs, options.imagesDir, options.verbose}, error)) {
    std::fprintf(stderr, "tavixSim: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  if (!parseSimOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "tavixSim: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::printf("Usage: tavixSim [options]\n"
                "A simulated T.A.V.I.X unit on a pseudo-terminal; connect tavixDisp to the\n"
                "device path it prints (see --link).\n\n%s%s",
                simOptionsHelp(), simToolsHelp());
    return 0;
  }
  if (options.version) {
    std::printf("tavixSim %s\n", TAVIX_VERSION);
    return 0;
  }
  if (!options.decodeFile.empty()) return decode(options.decodeFile);
  if (!options.pngFile.empty()) return render(options);
  SimulatedUnit unit;
  if (!unit.start(options, error)) {
    std::fprintf(stderr, "tavixSim: %s\n", error.c_str());
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::printf("%s\n", unit.devicePath().c_str());
  std::fflush(stdout);
  unit.run(stopRequested);
  return 0;
}
