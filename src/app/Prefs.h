// The preference file "tavixDisp.prefs" in the per-user preference
// directory: comment lines, then one "name = value" line per entry.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>

using PreferenceMap = std::map<std::string, uint32_t>;

// Directory the preference file lives in, ending with a path separator.
// Empty (the default) means the one SDL_GetPrefPath("tavixProject",
// "tavixDisp") names. Tests and tools point it elsewhere.
void setPrefsDirectory(const std::string& dir);

void readPrefsData(const char* fileName, PreferenceMap& prefs);
void writePrefsData(const char* fileName, const PreferenceMap& prefs);
int readDataToMap1Line(const unsigned char* data, unsigned long length, PreferenceMap& prefs);
uint32_t getTodayDate();
// The date encoding getTodayDate uses: (year << 16) | (month << 8) | day,
// with the full year, the month counted from 0 and the day from 1.
uint32_t encodeDate(const struct tm& date);
