// The preference file "tavixDisp.prefs" in the per-user preference
// directory: comment lines, then one "name = value" line per entry.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>

#include "app/Settings.h"

using PreferenceMap = std::map<std::string, uint32_t>;

// The file's name, and the names of the entries the program keeps.
constexpr char kPrefsFile[] = "tavixDisp.prefs";
constexpr char kPrefBaudrate[] = "baudrate";
constexpr char kPrefEnableJoystick[] = "enable_joystick";
constexpr char kPrefWindowX[] = "window_x";
constexpr char kPrefWindowY[] = "window_y";
constexpr char kPrefWindowW[] = "window_w";
constexpr char kPrefWindowH[] = "window_h";
constexpr char kPrefCheckedDate[] = "checked_date";
constexpr char kPrefCheckedFwVer[] = "checked_fw_ver";

// The file lives in the settings' preference directory, by default the one
// SDL_GetPrefPath("tavixProject", "tavixDisp") names. A write replaces the
// whole file in one step, or, where no new file can be made beside it,
// overwrites it in place; a file that is a symbolic link is written where
// the link leads. A write that cannot be done leaves the old file as it was
// and says why on standard error.
void readPrefsData(const Settings& settings, const char* fileName, PreferenceMap& prefs);
void writePrefsData(const Settings& settings, const char* fileName, const PreferenceMap& prefs);
// The settings' preference directory, the user's data folder for this
// program, with its trailing separator; empty when there is none to be had.
std::string prefsDirectory(const Settings& settings);
// The same in the default directory.
void readPrefsData(const char* fileName, PreferenceMap& prefs);
void writePrefsData(const char* fileName, const PreferenceMap& prefs);
int readDataToMap1Line(const unsigned char* data, unsigned long length, PreferenceMap& prefs);
uint32_t getTodayDate();
// The date encoding getTodayDate uses: (year << 16) | (month << 8) | day,
// with the full year, the month counted from 0 and the day from 1.
uint32_t encodeDate(const struct tm& date);
