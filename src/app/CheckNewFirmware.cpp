#include "app/CheckNewFirmware.h"

#include <SDL.h>

#include "app/Alert.h"
#include "app/getServerFwVersion.h"
#include "protocol/FirmwareVersion.h"

namespace {


enum PromptButton { kDownload = 0, kLater = 1 };

// True only when the user chose to download; a prompt that could not be
// shown counts as "Later".
bool userWantsDownload(const Settings& settings, uint32_t latest) {
  AlertRequest request;
  request.header = "A new firmware version is available.";
  request.message = "Latest Version: " + firmwareVersionText(latest);
  request.buttons = {"Download", "Later"};
  request.defaultButton = kDownload;
  request.informational = true;
  return showAlert(settings, request) == kDownload;
}

}  // namespace

void CheckNewFirmware(uint32_t fwVersion, PreferenceMap& prefs) {
  CheckNewFirmware(Settings(), fwVersion, prefs, getTodayDate());
}

void CheckNewFirmware(const Settings& settings, uint32_t fwVersion, PreferenceMap& prefs, uint32_t today) {
  const auto checked = prefs.find(kPrefCheckedDate);
  const bool due = checked == prefs.end() || checked->second != today;
  if (due) {
    if (prefs.count(kPrefCheckedFwVer) == 0 || prefs[kPrefCheckedFwVer] < fwVersion) {
      prefs[kPrefCheckedFwVer] = fwVersion;
    }
    const uint32_t latest = getServerFwVersion(settings);
    if (latest != 0 && latest > prefs[kPrefCheckedFwVer] && userWantsDownload(settings, latest)) {
      OpenFirmwareURL(settings);
      prefs[kPrefCheckedFwVer] = latest;
    }
  }
  prefs[kPrefCheckedDate] = today;
  writePrefsData(settings, kPrefsFile, prefs);
}
