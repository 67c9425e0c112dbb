#include "SimSession.h"

#include <cstdlib>

#include "UnitStream.h"
#include "protocol/FirmwareVersion.h"

std::string FirmwareVersion::text() const { return firmwareVersionText(packFirmwareVersion(a, b, c, d)); }

bool parseFirmwareVersion(const std::string& text, FirmwareVersion& version) {
  uint32_t packed = 0;
  if (!readFirmwareVersion(text, packed)) return false;
  version = FirmwareVersion::unpacked(packed);
  return true;
}

SimSession::SimSession(const FirmwareVersion& v) : version(v), script(v.text()) {}

SimSession::SimSession(const FirmwareVersion& v, Script replay)
    : version(v), replayMode(true), replay(std::move(replay)), script(v.text()) {}

Script replayScript(const Recording& recording, bool fast) {
  Script steps;
  uint64_t lastMs = 0;
  for (const Recording::Event& event : recording.events) {
    if (event.kind != Recording::Event::FromUnit) continue;
    const uint64_t delay = fast || steps.empty() ? 0 : event.ms - lastMs;
    steps.push_back({static_cast<unsigned>(delay), event.bytes});
    lastMs = event.ms;
  }
  return steps;
}

void SimSession::receive(const uint8_t* data, size_t len, uint64_t nowMs) {
  if (len == 0) return;
  if (state == Idle) {
    state = Greeting;
    pageDueMs = nowMs + kQuietStartMs;
    if (!replayMode) output += script.splash();
  }
  events.clear();
  decoder.feed(data, len, events);
  for (const HostEvent& event : events) {
    if (onEvent) onEvent(event);
    handle(event, nowMs);
  }
  tick(nowMs);
}

void SimSession::handle(const HostEvent& event, uint64_t nowMs) {
  switch (event.kind) {
    case HostEvent::VersionRequest:
      // Whatever was under way is dropped: the program discards what comes
      // after the answer until its main loop runs.
      pending.clear();
      output += UnitStream().versionReport(version.a, version.b, version.c, version.d).bytes();
      state = AwaitingMainLoop;
      return;
    case HostEvent::KeepAlive:
      if (state == AwaitingMainLoop) startPage(nowMs);
      return;
    default:
      break;
  }
  // Input reports come only from a running main loop.
  if (state != Running) startPage(nowMs);
  if (replayMode) return;
  flushSchedule();
  schedule(script.react(event), nowMs);
}

void SimSession::startPage(uint64_t nowMs) {
  state = Running;
  pending.clear();
  schedule(replayMode ? replay : script.showPage(), nowMs);
}

void SimSession::schedule(const Script& steps, uint64_t nowMs) {
  uint64_t due = pending.empty() ? nowMs : pending.back().dueMs;
  for (const ScriptStep& step : steps) {
    due += step.delayMs;
    if (pending.empty() && due <= nowMs) {
      output += step.bytes;
    } else {
      pending.push_back({due, step.bytes});
    }
  }
}

void SimSession::flushSchedule() {
  for (const Timed& t : pending) output += t.bytes;
  pending.clear();
}

void SimSession::tick(uint64_t nowMs) {
  if (state == Greeting && nowMs >= pageDueMs) startPage(nowMs);
  while (!pending.empty() && pending.front().dueMs <= nowMs) {
    output += pending.front().bytes;
    pending.pop_front();
  }
}

long SimSession::msUntilNextStep(uint64_t nowMs) const {
  uint64_t due = 0;
  bool any = false;
  if (state == Greeting) {
    due = pageDueMs;
    any = true;
  }
  if (!pending.empty() && (!any || pending.front().dueMs < due)) {
    due = pending.front().dueMs;
    any = true;
  }
  if (!any) return -1;
  return due <= nowMs ? 0 : static_cast<long>(due - nowMs);
}

void SimSession::hangUp() {
  state = Idle;
  pending.clear();
  output.clear();
  decoder.reset();
}

std::string SimSession::takeOutput() {
  std::string result;
  result.swap(output);
  return result;
}
