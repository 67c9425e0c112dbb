// Modal alerts: the one-button error alert and the two-button prompt of the
// firmware check. Both go through one sink, which tests replace to answer
// alerts without a person.
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

// Replaces the sink; an empty sink restores the platform's message box.
void setAlertSink(AlertSink sink);

// Shows the alert through the current sink and waits for the answer.
int showAlert(const AlertRequest& request);

// Modal alert with a header, a message and one "OK" button. Returns after the
// user dismissed it; without a display the texts go to standard error.
void DisplayErrorDialog(const char* header, const char* message);
