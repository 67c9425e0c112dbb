// The preference file "tavixDisp.prefs" in the per-user preference
// directory: comment lines, then one "name = value" line per entry.
#pragma once

#include <cstdint>
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
