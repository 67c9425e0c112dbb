#include "app/App.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <memory>

#include "app/DeviceDiscovery.h"
#include "app/CheckNewFirmware.h"
#include "app/Globals.h"
#include "input/human_inputs_sdl.h"
#include "protocol/EscSeqParser.h"
#include "protocol/ProcessTerminalInputs.h"
#include "screen/edispSDL.h"
#include "serial/CommSerial.h"

namespace {

const char kPrefsFile[] = "tavixDisp.prefs";
const char kPrefBaudrate[] = "baudrate";
const char kPrefEnableJoystick[] = "enable_joystick";
const char kPrefWindowX[] = "window_x";
const char kPrefWindowY[] = "window_y";
const char kPrefWindowW[] = "window_w";
const char kPrefWindowH[] = "window_h";

// The logical screen and the window over it.
const int kScreenWidth = 640;
const int kScreenHeight = 384;
const int kDefaultWindowPosition = 40;
// Stored or requested window sizes beyond this many screens are not applied:
// a damaged preference file must not ask for a gigantic window.
const int kMaxScale = 16;
const char kTitleFormat[] = "T.A.V.I.X - %s";
// No window has this id: the digit-key button group stays off.
const uint32_t kNoButtonWindow = 0xFFFF;

// The link.
const uint32_t kDefaultBaudrate = 230400;
const unsigned char kKeepAlive = 0xFE;
const unsigned char kVersionRequest[] = {0x1B, '@', '9', '9', '9', 'y', 0x00};
const uint32_t kKeepAliveIntervalMs = 3000;
const uint32_t kReconnectIntervalMs = 1000;
const uint32_t kLoopPauseMs = 10;
const int kNotConnectedRow = 11;
const int kNotConnectedCol = 33;
const char kNotConnected[] = "Not Connected.";

// The connection handshake.
const int kOpenAttempts = 20;
const uint32_t kOpenRetryPauseMs = 100;
const int kSettleIdlePolls = 200;
const int kVersionRequests = 10;
const int kVersionIdlePolls = 1000;
const uint32_t kPollPauseMs = 1;
// A unit that never falls silent cannot hold up the handshake for longer
// than this: the settle step, and each wait after a version request.
const uint32_t kMaxSettleMs = 5000;
const uint32_t kMaxVersionWaitMs = 2000;

const char kExitText[] = "Exit tavixDisp.";
const char kCannotConnect[] = "The connection with T.A.V.I.X cannot be established.";
const char kTimedOut[] = "Communication with T.A.V.I.X has timed out.";

// Tick comparison that stays right across the wrap of the 32-bit counter.
bool tickPassed(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) > 0;
}

std::string withTrailingSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') {
    dir += '/';
  }
  return dir;
}

// Applies the configuration's seams for the length of one run.
class SeamScope {
public:
  explicit SeamScope(const AppConfig& config) : config(config) {
    if (!config.prefsDir.empty()) {
      setPrefsDirectory(withTrailingSlash(config.prefsDir));
    }
    if (config.alertSink) {
      setAlertSink(config.alertSink);
    }
    if (!config.firmwarePageUrl.empty()) {
      setFirmwarePageUrl(config.firmwarePageUrl);
    }
    if (config.urlOpener) {
      setUrlOpener(config.urlOpener);
    }
  }
  ~SeamScope() {
    if (!config.prefsDir.empty()) {
      setPrefsDirectory("");
    }
    if (config.alertSink) {
      setAlertSink(nullptr);
    }
    if (!config.firmwarePageUrl.empty()) {
      setFirmwarePageUrl("");
    }
    if (config.urlOpener) {
      setUrlOpener(nullptr);
    }
  }
  SeamScope(const SeamScope&) = delete;
  SeamScope& operator=(const SeamScope&) = delete;

private:
  const AppConfig& config;
};

class TavixApp {
public:
  explicit TavixApp(const AppConfig& config) : config(config) {}

  int run() {
    const int failure = startUp();
    if (failure != 0) {
      return failure;
    }
    connect();
    mainLoop();
    shutDown();
    return 0;
  }

private:
  // Returns 0 when the program can go on, else the exit status.
  int startUp() {
    readPrefsData(kPrefsFile, prefs);
    devicePath = config.devicePath.empty() ? chooseUnitDevice(listSerialCalloutDevices(config.devDir))
                                           : config.devicePath;

    SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_CRITICAL);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      DisplayErrorDialog("Error: SDL_Init", SDL_GetError());
      return 1;
    }
    if (TTF_Init() == -1) {
      DisplayErrorDialog("Error: TTF_Init", SDL_GetError());
      return 1;
    }
    if ((IMG_Init(IMG_INIT_JPG) & IMG_INIT_JPG) == 0) {
      DisplayErrorDialog("Error: IMG_Init", SDL_GetError());
      return 1;
    }

    createInputState();

    char title[256];
    SDL_snprintf(title, sizeof title, kTitleFormat, devicePath.c_str());
    const int x = prefs.count(kPrefWindowX) ? static_cast<int>(prefs[kPrefWindowX]) : kDefaultWindowPosition;
    const int y = prefs.count(kPrefWindowY) ? static_cast<int>(prefs[kPrefWindowY]) : kDefaultWindowPosition;
    const std::string base = basePath();
    disp = new edispSDL(title, x, y, kScreenWidth, kScreenHeight, base.c_str());
    if (!disp->initialized) {
      delete inputs;
      inputs = nullptr;
      delete disp;
      disp = nullptr;
      return 1;
    }
    // The input state tells the program's window by its id; SDL numbers
    // windows per process, so ask rather than assume the first number.
    if (const uint32_t windowId = SDL_GetWindowID(disp->getWindow())) {
      inputs->mainWindowId = windowId;
    }
    applyStoredWindowSize();

    serial = new CommSerial;
    parser.reset(new EscSeqParser(disp));

    if (prefs.count(kPrefBaudrate) == 0) {
      prefs[kPrefBaudrate] = kDefaultBaudrate;
      writePrefsData(kPrefsFile, prefs);
    }
    baudrate = prefs[kPrefBaudrate] != 0 ? prefs[kPrefBaudrate] : kDefaultBaudrate;

    probe(AppProbe::Started);
    return 0;
  }

  void createInputState() {
    if (prefs.count(kPrefEnableJoystick) == 0) {
      prefs[kPrefEnableJoystick] = 0;
      writePrefsData(kPrefsFile, prefs);
    }
    inputs = new HumanInputsSDL;
    inputs->enableJoystick = prefs[kPrefEnableJoystick] != 0;
    inputs->buttonWindowId = kNoButtonWindow;
    inputs->mainWindowId = 1;
  }

  std::string basePath() const {
    if (!config.basePath.empty()) {
      return withTrailingSlash(config.basePath);
    }
    char* sdlBase = SDL_GetBasePath();
    if (!sdlBase) {
      return "./";
    }
    std::string base = sdlBase;
    SDL_free(sdlBase);
    return base;
  }

  // A size stored at the last resize is applied as it stands, unsnapped.
  void applyStoredWindowSize() {
    if (prefs.count(kPrefWindowW) == 0 || prefs.count(kPrefWindowH) == 0) {
      return;
    }
    const uint32_t w = prefs[kPrefWindowW];
    const uint32_t h = prefs[kPrefWindowH];
    if (w == 0 || h == 0 || w > uint32_t(kScreenWidth * kMaxScale) || h > uint32_t(kScreenHeight * kMaxScale)) {
      return;
    }
    disp->resizeWindow(static_cast<int>(w), static_cast<int>(h));
    scale = static_cast<int>(w / kScreenWidth);
    if (scale < 1) {
      scale = 1;
    }
  }

  // Opens the port, wakes the unit and asks for its firmware version. Sets
  // the quit flag when the unit cannot be reached.
  void connect() {
    bool opened = false;
    for (int attempt = 0; attempt < kOpenAttempts && !opened; ++attempt) {
      opened = serial->OpenPort(devicePath.c_str(), baudrate);
      if (!opened) {
        SDL_Delay(kOpenRetryPauseMs);
      }
    }
    if (!opened) {
      DisplayErrorDialog(kCannotConnect, kExitText);
      quit = true;
      return;
    }

    serial->write(&kKeepAlive, 1);
    disp->stopUpdate();
    settle();
    disp->resumeUpdate();
    disp->stopUpdate();
    for (int request = 0; request < kVersionRequests && parser->fwVersion == 0; ++request) {
      serial->write(kVersionRequest, sizeof kVersionRequest);
      waitForVersion();
    }
    disp->resumeUpdate();
    probe(AppProbe::VersionWaited);
    discardWaitingBytes();

    if (parser->fwVersion != 0) {
      CheckNewFirmware(parser->fwVersion, prefs);
      return;
    }
    serial->clearSerialPortBuffers();
    serial->ClosePort();
    DisplayErrorDialog(kTimedOut, kExitText);
    quit = true;
    writePrefsData(kPrefsFile, prefs);
  }

  bool parseOneWaitingByte() {
    if (serial->getReadableBytes() == 0) {
      return false;
    }
    unsigned char byte = 0;
    serial->read(&byte, 1);
    parser->ParseByte(byte);
    return true;
  }

  // Lets the unit's first output reach the screen: ends after a run of
  // empty polls.
  void settle() {
    const uint32_t giveUp = SDL_GetTicks() + kMaxSettleMs;
    int idle = kSettleIdlePolls;
    while (idle > 0 && !tickPassed(SDL_GetTicks(), giveUp)) {
      if (parseOneWaitingByte()) {
        idle = kSettleIdlePolls;
      } else {
        SDL_Delay(kPollPauseMs);
        --idle;
      }
    }
  }

  // Waits after one version request: until the first empty poll once the
  // version is known, or until the unit has been silent for the idle budget.
  void waitForVersion() {
    const uint32_t giveUp = SDL_GetTicks() + kMaxVersionWaitMs;
    int budget = kVersionIdlePolls;
    while (!tickPassed(SDL_GetTicks(), giveUp)) {
      if (parseOneWaitingByte()) {
        if (parser->fwVersion == 0) {
          budget = kVersionIdlePolls;
        }
        continue;
      }
      SDL_Delay(kPollPauseMs);
      if (parser->fwVersion != 0 || --budget == 0) {
        return;
      }
    }
  }

  void discardWaitingBytes() {
    unsigned char byte = 0;
    for (unsigned waiting = serial->getReadableBytes(); waiting > 0; --waiting) {
      serial->read(&byte, 1);
    }
  }

  void mainLoop() {
    deadline = SDL_GetTicks() - kKeepAliveIntervalMs;
    while (!quit) {
      probe(AppProbe::LoopPass);
      if (serial->fd >= 0 && keepAlive()) {
        receiveWaitingBytes();
        noticeLostLink();
      }
      if (serial->fd < 0) {
        tryReconnect();
      }
      disp->resumeUpdate();
      if (handleInputAndWindowEvents()) {
        continue;
      }
      SDL_Delay(kLoopPauseMs);
    }
  }

  // The serial link reports a hung-up port, or a write that failed or was
  // not taken in time, without waiting for the next keep-alive byte: a user
  // who keeps typing postpones that byte indefinitely. What the unit sent
  // before it went away is all in the ring by the time the loss shows, and
  // is parsed before the link is dropped; a reconnection is due at once.
  void noticeLostLink() {
    if (!serial->linkLost()) {
      return;
    }
    receiveWaitingBytes();
    dropLink();
    deadline = SDL_GetTicks() - 1;
  }

  // Sends the keep-alive byte when it is due. False when the link turned out
  // to be lost: the port is then closed and the screen cleared.
  bool keepAlive() {
    if (!tickPassed(SDL_GetTicks(), deadline)) {
      return true;
    }
    if (serial->write(&kKeepAlive, 1) == 1) {
      deadline += kKeepAliveIntervalMs;
      return true;
    }
    dropLink();
    return false;
  }

  void dropLink() {
    serial->ClosePort();
    disp->clear();
    disp->clear_bgbuff(0);
  }

  // Parses the bytes that were waiting when the pass began, and no more: a
  // unit that keeps the ring full cannot hold the pass here, so the screen
  // is presented and input handled every pass however fast it sends.
  void receiveWaitingBytes() {
    unsigned char bytes[CommSerial::kRingSize];
    const unsigned int taken = serial->read(bytes, serial->getReadableBytes());
    for (unsigned int i = 0; i < taken; ++i) {
      disp->stopUpdate();
      parser->ParseByte(bytes[i]);
    }
  }

  void tryReconnect() {
    if (!tickPassed(SDL_GetTicks(), deadline)) {
      return;
    }
    disp->move(kNotConnectedRow, kNotConnectedCol);
    disp->set_attribute(0);
    disp->puts_(kNotConnected, 0);
    serial->OpenPort(devicePath.c_str(), baudrate);
    deadline += kReconnectIntervalMs;
  }

  // Returns true when the next pass must start at once (quit).
  bool handleInputAndWindowEvents() {
    if (!inputs->ProcessInputs()) {
      return false;
    }
    const SDL_Event& event = inputs->lastWindowEvent;
    if (event.type == SDL_QUIT) {
      quit = true;
      writePrefsData(kPrefsFile, prefs);
      return true;
    }
    if (event.type == SDL_WINDOWEVENT) {
      handleWindowEvent(event.window);
    }
    if (ProcessTerminalInputs(inputs, serial, scale)) {
      deadline = SDL_GetTicks() + kKeepAliveIntervalMs;
    }
    return false;
  }

  void handleWindowEvent(const SDL_WindowEvent& event) {
    if (event.event == SDL_WINDOWEVENT_MOVED) {
      prefs[kPrefWindowX] = static_cast<uint32_t>(event.data1);
      prefs[kPrefWindowY] = static_cast<uint32_t>(event.data2);
    } else if (event.event == SDL_WINDOWEVENT_RESIZED) {
      scale = snappedScale(event.data1, event.data2);
      disp->resizeWindow(kScreenWidth * scale, kScreenHeight * scale);
      disp->stopUpdate();
      disp->resumeUpdate();
      prefs[kPrefWindowW] = static_cast<uint32_t>(kScreenWidth * scale);
      prefs[kPrefWindowH] = static_cast<uint32_t>(kScreenHeight * scale);
    }
  }

  // The whole number of screens nearest to the size (a half rounds up), the
  // smaller of the two directions, at least 1.
  static int snappedScale(int w, int h) {
    const int64_t across = (int64_t(w) + kScreenWidth / 2) / kScreenWidth;
    const int64_t down = (int64_t(h) + kScreenHeight / 2) / kScreenHeight;
    int64_t s = across < down ? across : down;
    if (s < 1) {
      s = 1;
    }
    if (s > kMaxScale) {
      s = kMaxScale;
    }
    return static_cast<int>(s);
  }

  void shutDown() {
    delete serial;
    serial = nullptr;
    delete inputs;
    inputs = nullptr;
    delete disp;
    disp = nullptr;
    IMG_Quit();
    TTF_Quit();
    SDL_Quit();
    parser.reset();
  }

  void probe(AppProbe::Stage stage) {
    if (!config.probe) {
      return;
    }
    AppProbe view{stage, disp, serial, inputs, parser.get(), &prefs, scale, devicePath.c_str()};
    config.probe(view);
  }

  const AppConfig& config;
  PreferenceMap prefs;
  std::string devicePath;
  std::unique_ptr<EscSeqParser> parser;
  uint32_t baudrate = kDefaultBaudrate;
  int scale = 1;
  uint32_t deadline = 0;
  bool quit = false;
};

}  // namespace

int runTavixDisp(const AppConfig& config) {
  SeamScope seams(config);
  return TavixApp(config).run();
}

unsigned GetElapsedTick(unsigned start) {
  return SDL_GetTicks() - start;
}
