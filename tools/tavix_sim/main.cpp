// tavixSim: a simulated T.A.V.I.X unit on a pseudo-terminal. It prints the
// device path to open and serves it until interrupted.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "SimulatedUnit.h"

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

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
                "device path it prints (see --link).\n\n%s",
                simOptionsHelp());
    return 0;
  }
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
