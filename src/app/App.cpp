#include "app/App.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <memory>

#include "app/Alert.h"
#include "app/CheckNewFirmware.h"
#include "app/ConnectionLog.h"
#include "app/DeviceDiscovery.h"
#include "app/Globals.h"
#include "app/HandshakeSteps.h"
#include "app/LinkJournal.h"
#include "app/LinkSupervisor.h"
#include "app/MainLoop.h"
#include "app/PictureFolders.h"
#include "app/WindowRules.h"
#include "app/programFolder.h"
#include "app/quitWaiting.h"
#include "input/human_inputs_sdl.h"
#include "protocol/EscSeqParser.h"
#include "protocol/FirmwareVersion.h"
#include "protocol/UnitWire.h"
#include "screen/edispSDL.h"
#include "serial/CommSerial.h"

namespace {


const char kTitleFormat[] = "T.A.V.I.X - %s";
// No window has this id: the digit-key button group stays off.
const uint32_t kNoButtonWindow = 0xFFFF;

const uint32_t kDefaultBaudrate = 230400;

const int kOpenAttempts = 20;
const uint32_t kOpenRetryPauseMs = 100;
const uint32_t kPollPauseMs = 1;
// How often the handshake looks whether the user asked to quit.
const uint32_t kQuitLookMs = 20;

// The alert's message is this line, then the reason told on standard error.
const char kExitText[] = "Exit tavixDisp.\n";
const char kCannotConnect[] = "The connection with T.A.V.I.X cannot be established.";
const char kTimedOut[] = "Communication with T.A.V.I.X has timed out.";

const char kNoDisplay[] = "No display found: only a video driver that shows nothing could be started.";

// With no display SDL falls back by itself to a video driver that shows
// nothing; only a driver the user asked for by name is taken as meant.
bool onlyInvisibleVideo() {
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  return (asked == nullptr || *asked == '\0') && invisibleVideoDriver(SDL_GetCurrentVideoDriver());
}

std::string withTrailingSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') {
    dir += '/';
  }
  return dir;
}

// Owns the program's objects for one run; the program-wide pointers name
// them while they live.
class TavixApp {
public:
  explicit TavixApp(const AppConfig& config)
      : config(config),
        log(config.verbose),
        journal(config.recordFile, config.traceFile),
        pictureFolders(PictureFolders::usual(config.imagesDir, prefsDirectory(config), basePath()),
                       [this](const std::string& text) { log.event(text); }) {}
  ~TavixApp() { release(); }
  TavixApp(const TavixApp&) = delete;
  TavixApp& operator=(const TavixApp&) = delete;

  int run() {
    const int failure = startUp();
    if (failure != 0) {
      return failure;
    }
    const int status = connect();
    mainLoop();
    shutDown();
    return status;
  }

private:
  // Returns 0 when the program can go on, else the exit status.
  int startUp() {
    readPrefsData(config, kPrefsFile, prefs);
    devicePath = config.devicePath.empty() ? chooseUnitDevice(listSerialCalloutDevices(config.devDir))
                                           : config.devicePath;
    log.event("device " + devicePath + (!config.devicePath.empty()  ? " (given)"
                                        : devicePath != kDefaultDevicePath ? " (found: the last /dev/cu.usbmodemMB*)"
                                                                           : " (default: no /dev/cu.usbmodemMB* found)"));

    SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_CRITICAL);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      DisplayErrorDialog(config, "Error: SDL_Init", SDL_GetError());
      return 1;
    }
    if (onlyInvisibleVideo()) {
      DisplayErrorDialog(config, "Error: SDL_Init", kNoDisplay);
      return 1;
    }
    if (TTF_Init() == -1) {
      DisplayErrorDialog(config, "Error: TTF_Init", SDL_GetError());
      return 1;
    }
    if ((IMG_Init(IMG_INIT_JPG) & IMG_INIT_JPG) == 0) {
      DisplayErrorDialog(config, "Error: IMG_Init", SDL_GetError());
      return 1;
    }

    createInputState();

    char title[256];
    SDL_snprintf(title, sizeof title, kTitleFormat, devicePath.c_str());
    const WindowGeometry window = startWindow(prefs);
    const std::string base = basePath();
    screen.reset(new edispSDL(title, window.x, window.y, kScreenWidth, kScreenHeight, base.c_str(),
                              [this](const char* what, const char* why) { DisplayErrorDialog(config, what, why); }));
    disp = screen.get();
    if (!screen->initialized) {
      release();
      return 1;
    }
    screen->setPictureLookup([this](const std::string& name) { return pictureFolders.find(name); });
    // The input state tells the program's window by its id; SDL numbers
    // windows per process, so ask rather than assume the first number.
    if (const uint32_t windowId = SDL_GetWindowID(screen->getWindow())) {
      input->mainWindowId = windowId;
    }
    if (window.sized) {
      screen->resizeWindow(window.w, window.h);
      scale = window.scale;
    }

    link.reset(new CommSerial);
    serial = link.get();
    // The reader thread wakes the main loop when bytes arrive.
    wakeEvent = SDL_RegisterEvents(1);
    link->setWakeUp([type = wakeEvent] {
      SDL_Event wake{};
      wake.type = type;
      SDL_PushEvent(&wake);
    });
    parser.reset(new EscSeqParser(journal.screenFor(screen.get())));
    journal.watch(*parser);

    if (prefs.count(kPrefBaudrate) == 0) {
      prefs[kPrefBaudrate] = kDefaultBaudrate;
      writePrefsData(config, kPrefsFile, prefs);
    }
    baudrate = config.baudrate != 0 ? config.baudrate : prefs[kPrefBaudrate] != 0 ? prefs[kPrefBaudrate] : kDefaultBaudrate;
    journal.begin(devicePath, baudrate);

    probe(AppProbe::Started);
    return 0;
  }

  void createInputState() {
    if (prefs.count(kPrefEnableJoystick) == 0) {
      prefs[kPrefEnableJoystick] = 0;
      writePrefsData(config, kPrefsFile, prefs);
    }
    input.reset(new HumanInputsSDL);
    inputs = input.get();
    input->enableJoystick = prefs[kPrefEnableJoystick] != 0;
    input->buttonWindowId = kNoButtonWindow;
    input->mainWindowId = 1;
    input->releaseUnusedJoystick();
  }

  std::string basePath() const {
    if (!config.basePath.empty()) {
      return withTrailingSlash(config.basePath);
    }
    return programFolder();
  }

  // Opens the port, wakes the unit and asks for its firmware version. Sets
  // the quit flag when the unit cannot be reached, and returns the exit
  // status that tells why; 0 when connected. A quit asked for meanwhile
  // ends the handshake at once: the quit flag is set, the preference file
  // written and 0 returned; one asked for while an alert is up answers it.
  int connect() {
    bool opened = false;
    for (int attempt = 0; attempt < kOpenAttempts && !opened; ++attempt) {
      if (quitWaiting()) return quitNow(0);
      opened = link->OpenPort(devicePath.c_str(), baudrate);
      if (!opened) {
        SDL_Delay(kOpenRetryPauseMs);
      }
    }
    if (!opened) {
      DisplayErrorDialog(config, kCannotConnect, (kExitText + log.unreachable(devicePath, baudrate)).c_str());
      if (quitWaiting()) return quitNow(kExitCannotConnect);
      quit = true;
      return kExitCannotConnect;
    }

    log.event("opened " + devicePath + " at " + std::to_string(baudrate) + " bit/s");
    journal.opened(devicePath, baudrate);
    send(&unit_wire::kKeepAlive, 1);
    screen->stopUpdate();
    HandshakeSteps steps(SDL_GetTicks());
    uint32_t lookedForQuit = SDL_GetTicks();
    for (bool going = true; going;) {
      // Also while the unit keeps sending, without asking the window system at every byte.
      if (SDL_GetTicks() - lookedForQuit >= kQuitLookMs) {
        lookedForQuit = SDL_GetTicks();
        if (quitWaiting()) return quitNow(0);
      }
      const bool byteWaiting = handshakeNext < handshakeCount || link->getReadableBytes() != 0;
      switch (steps.next(byteWaiting, parser->fwVersion != 0, SDL_GetTicks())) {
        case HandshakeSteps::ParseByte:
          parseOneByte();
          break;
        case HandshakeSteps::Pause:
          SDL_Delay(kPollPauseMs);
          break;
        case HandshakeSteps::ShowSettled:
          screen->resumeUpdate();
          screen->stopUpdate();
          break;
        case HandshakeSteps::SendRequest:
          send(unit_wire::kVersionRequest, unit_wire::kVersionRequestSize);
          break;
        case HandshakeSteps::Done:
          going = false;
          break;
      }
    }
    screen->resumeUpdate();
    probe(AppProbe::VersionWaited);
    discardWaitingBytes();

    if (parser->fwVersion != 0) {
      log.event("the unit answered: firmware " + firmwareVersionText(parser->fwVersion));
      journal.firmware(parser->fwVersion);
      CheckNewFirmware(config, parser->fwVersion, prefs, getTodayDate());
      return 0;
    }
    link->clearSerialPortBuffers();
    link->ClosePort();
    DisplayErrorDialog(config, kTimedOut, (kExitText + log.unanswered(devicePath)).c_str());
    quit = true;
    writePrefsData(config, kPrefsFile, prefs);
    return kExitTimedOut;
  }

  // Ends the run with status, as a quit in the main loop does.
  int quitNow(int status) {
    quit = true;
    writePrefsData(config, kPrefsFile, prefs);
    return status;
  }

  void send(const unsigned char* bytes, unsigned count) {
    link->write(bytes, count);
    journal.toUnit(bytes, count);
  }

  // The handshake takes what waits in one piece, for the journal, and
  // parses it a byte at a time.
  void parseOneByte() {
    if (handshakeNext == handshakeCount) {
      handshakeCount = link->read(handshakeBytes, sizeof handshakeBytes);
      handshakeNext = 0;
      journal.fromUnit(handshakeBytes, handshakeCount);
    }
    if (handshakeNext < handshakeCount) journal.parse(*parser, handshakeBytes[handshakeNext++]);
  }

  // What the handshake took but did not parse, and what waits, is dropped.
  void discardWaitingBytes() {
    unsigned char bytes[CommSerial::kRingSize];
    const unsigned count = link->read(bytes, link->getReadableBytes());
    journal.fromUnit(bytes, count);
    journal.discarded(std::string(reinterpret_cast<const char*>(handshakeBytes) + handshakeNext,
                                  handshakeCount - handshakeNext) +
                      std::string(reinterpret_cast<const char*>(bytes), count));
    handshakeNext = handshakeCount = 0;
  }

  void mainLoop() {
    if (quit) {
      return;
    }
    MainLoop loop({*screen, *input, *parser, *link, devicePath, baudrate, journal, log, prefs, scale});
    loop.run([this] { probe(AppProbe::LoopPass); }, [this] { writePrefsData(config, kPrefsFile, prefs); });
  }

  // Serial link, input state and screen go in that order, then the media
  // libraries, then the parser and the preference map.
  void shutDown() {
    release();
    IMG_Quit();
    TTF_Quit();
    SDL_Quit();
    parser.reset();
    prefs.clear();
  }

  void release() {
    link.reset();
    serial = nullptr;
    input.reset();
    inputs = nullptr;
    screen.reset();
    disp = nullptr;
  }

  void probe(AppProbe::Stage stage) {
    if (!config.probe) {
      return;
    }
    AppProbe view{stage, screen.get(), link.get(), input.get(), parser.get(), &prefs, scale, devicePath.c_str()};
    config.probe(view);
  }

  const AppConfig& config;
  PreferenceMap prefs;
  std::string devicePath;
  std::unique_ptr<HumanInputsSDL> input;
  std::unique_ptr<edispSDL> screen;
  std::unique_ptr<CommSerial> link;
  std::unique_ptr<EscSeqParser> parser;
  uint32_t baudrate = kDefaultBaudrate;
  int scale = 1;
  uint32_t wakeEvent = 0;
  bool quit = false;
  const ConnectionLog log;
  LinkJournal journal;
  PictureFolders pictureFolders;
  // What the handshake took from the link, parsed up to handshakeNext.
  unsigned char handshakeBytes[CommSerial::kRingSize];
  unsigned handshakeCount = 0;
  unsigned handshakeNext = 0;
};

}  // namespace

int runTavixDisp(const AppConfig& config) {
  return TavixApp(config).run();
}

unsigned GetElapsedTick(unsigned start) {
  return SDL_GetTicks() - start;
}
