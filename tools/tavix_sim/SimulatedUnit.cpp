#include "SimulatedUnit.h"

#include <cerrno>
#include <cstring>

#include "HostInputDecoder.h"

bool readStreamFile(const std::string& path, long maxBytes, std::string& bytes,
                    std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  bytes.clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (static_cast<long>(bytes.size() + n) > maxBytes) {
      std::fclose(f);
      error = path + ": larger than " + std::to_string(maxBytes) + " bytes";
      return false;
    }
    bytes.append(buffer, n);
  }
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = path + ": read error";
    return false;
  }
  return true;
}

SimulatedUnit::~SimulatedUnit() {
  stopBackground();
  if (record != nullptr) std::fclose(record);
}

bool SimulatedUnit::start(const SimOptions& options, std::string& error) {
  if (!options.replayFile.empty()) {
    std::string stream;
    if (!readStreamFile(options.replayFile, kMaxReplayBytes, stream, error)) return false;
    session.reset(new SimSession(options.version, stream));
  } else {
    session.reset(new SimSession(options.version));
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
