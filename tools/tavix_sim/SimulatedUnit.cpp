#include "SimulatedUnit.h"

#include <cerrno>
#include <cstring>

#include "protocol/HostInputDecoder.h"

SimulatedUnit::~SimulatedUnit() {
  stopBackground();
  if (record != nullptr) std::fclose(record);
}

bool SimulatedUnit::start(const SimOptions& options, std::string& error) {
  if (!options.replayFile.empty()) {
    Recording recording;
    if (!readRecording(options.replayFile, recording, error)) return false;
    if (!recording.note.empty()) std::fprintf(stderr, "tavixSim: %s\n", recording.note.c_str());
    FirmwareVersion firmware = options.firmware;
    const uint32_t v = recording.firmware;
    if (!options.firmwareGiven && v != 0) firmware = FirmwareVersion::unpacked(v);
    session.reset(new SimSession(firmware, replayScript(recording, options.fast)));
  } else {
    session.reset(new SimSession(options.firmware));
  }
  if (!port.ok()) {
    error = port.error();
    return false;
  }
  if (!options.linkPath.empty() && !port.makeLink(options.linkPath, error)) return false;
  runner.reset(new SimRunner(port, *session));
  if (!options.recordFile.empty()) {
    record = std::fopen(options.recordFile.c_str(), "wb");
    if (record == nullptr) {
      error = options.recordFile + ": " + std::strerror(errno);
      return false;
    }
    runner->recordTo(record);
  }
  if (options.log) {
    session->onEvent = [](const HostEvent& event) {
      std::fprintf(stderr, "unit: %s\n", describe(event).c_str());
    };
    runner->onHangUp = [] { std::fprintf(stderr, "unit: the program closed the port\n"); };
  }
  return true;
}

void SimulatedUnit::run(const std::atomic<bool>& stop) {
  if (runner) runner->run(stop);
}

void SimulatedUnit::runInBackground() {
  if (!runner || worker.joinable()) return;
  stopFlag = false;
  worker = std::thread([this] { runner->run(stopFlag); });
}

void SimulatedUnit::stopBackground() {
  stopFlag = true;
  if (worker.joinable()) worker.join();
}
