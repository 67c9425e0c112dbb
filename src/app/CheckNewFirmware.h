// The daily firmware update check run after the unit reported its version:
// compares it with the newest version on the firmware page and offers to
// open the page.
#pragma once

#include <cstdint>

#include "app/Prefs.h"

// Uses today's local date. Always ends by writing the preference file.
void CheckNewFirmware(uint32_t fwVersion, PreferenceMap& prefs);

// The same check with the given settings, for a given date in
// getTodayDate()'s encoding.
void CheckNewFirmware(const Settings& settings, uint32_t fwVersion, PreferenceMap& prefs, uint32_t today);
