#include "app/Alert.h"

#include <SDL.h>

#include "app/AlertWindow.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence starting at s[i], or 0 when the
// byte there does not start one (overlong forms, surrogates and code points
// above U+10FFFF count as malformed).
size_t validSequenceLength(const std::string& s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) return 1;
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (size_t k = 2; k < len; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return len;
}

// The text with every byte that is not part of a well-formed UTF-8 sequence
// replaced by U+FFFD, so the message box never refuses it.
std::string sanitizeUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t len = validSequenceLength(text, i);
    if (len == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(text, i, len);
      i += len;
    }
  }
  return out;
}

// Asking SDL for a box with an invisible driver could still open one on an
// X display and block.
bool displayAvailable() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  return !invisibleVideoDriver(driver);
}

void writeToStandardError(const AlertRequest& request) {
  if (request.message.empty())
    std::fprintf(stderr, "%s\n", request.header.c_str());
  else
    std::fprintf(stderr, "%s: %s\n", request.header.c_str(), request.message.c_str());
  std::fflush(stderr);
}

// The alert in a window of the program's own, which a quit answers as
// Escape does; else the platform's message box, which blocks until it is
// answered: the header as title and again as the first line of the text,
// since the box has no bold header of its own.
int platformAlert(AlertRequest request) {
  std::vector<std::string>& labels = request.buttons;
  if (labels.empty()) labels.push_back("OK");
  int defaultButton = request.defaultButton;
  if (defaultButton < 0 || defaultButton >= static_cast<int>(labels.size())) defaultButton = 0;
  // Escape picks the other button of a pair, or the only one.
  int escapeButton = labels.size() == 2 ? 1 - defaultButton : defaultButton;
  if (!displayAvailable()) {
    writeToStandardError(request);
    return -1;
  }
  const int answered = showAlertWindow(request, defaultButton, escapeButton);
  if (answered >= 0) return answered;

  std::vector<SDL_MessageBoxButtonData> buttons(labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    buttons[i].flags = 0;
    if (static_cast<int>(i) == defaultButton) buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (static_cast<int>(i) == escapeButton) buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    buttons[i].buttonid = static_cast<int>(i);
    buttons[i].text = labels[i].c_str();
  }

  std::string text = request.header;
  if (!request.message.empty()) text += "\n\n" + request.message;

  SDL_MessageBoxData data;
  SDL_zero(data);
  data.flags = (request.informational ? SDL_MESSAGEBOX_INFORMATION : SDL_MESSAGEBOX_ERROR) |
               SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  data.window = nullptr;
  data.title = request.header.c_str();
  data.message = text.c_str();
  data.numbuttons = static_cast<int>(buttons.size());
  data.buttons = buttons.data();
  data.colorScheme = nullptr;

  int chosen = -1;
  if (SDL_ShowMessageBox(&data, &chosen) != 0) {
    writeToStandardError(request);
    return -1;
  }
  // Closing the box without a button counts as the escape choice.
  if (chosen < 0 || chosen >= static_cast<int>(buttons.size())) chosen = escapeButton;
  return chosen;
}

}  // namespace

int showAlert(const Settings& settings, const AlertRequest& request) {
  AlertRequest clean = request;
  clean.header = sanitizeUtf8(request.header);
  clean.message = sanitizeUtf8(request.message);
  for (std::string& label : clean.buttons) label = sanitizeUtf8(label);
  return settings.alertSink ? settings.alertSink(clean) : platformAlert(clean);
}

void DisplayErrorDialog(const Settings& settings, const char* header, const char* message) {
  AlertRequest request;
  request.header = header ? header : "";
  request.message = message ? message : "";
  request.buttons = {"OK"};
  request.defaultButton = 0;
  showAlert(settings, request);
}


void DisplayErrorDialog(const char* header, const char* message) {
  DisplayErrorDialog(Settings(), header, message);
}

bool invisibleVideoDriver(const char* driver) {
  return driver != nullptr && (SDL_strcasecmp(driver, "dummy") == 0 || SDL_strcasecmp(driver, "offscreen") == 0);
}
