// Where the program keeps its preference file, how it shows alerts, which
// firmware page it reads and how it opens addresses. The program runs with
// the defaults; tests and tools hand in their own values.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct AlertRequest {
  std::string header;
  std::string message;
  std::vector<std::string> buttons;  // "OK", or "Download", "Later"
  int defaultButton = 0;             // index into buttons
  bool informational = false;        // note level rather than stop level
};

// Returns the index of the chosen button, or -1 when no alert could be shown.
using AlertSink = std::function<int(const AlertRequest&)>;

// Opens an address in the browser.
using UrlOpener = std::function<void(const std::string& url)>;

struct Settings {
  std::string prefsDir;         // empty: SDL's per-user preference directory
  AlertSink alertSink;          // empty: the platform's message box
  std::string firmwarePageUrl;  // empty: the build-time page address
  UrlOpener urlOpener;          // empty: the platform's browser
};
