// The maker's firmware download page: fetching the newest published
// firmware version from it, and opening it in the user's browser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/Settings.h"

// Only this much of the page is fetched and searched.
constexpr std::size_t kMaxFirmwarePageBytes = 4u << 20;

// Fetches the page (15 s time-out) and returns the first published version
// on it, packed as (a << 24) | (b << 16) | (c << 8) | d; 0 when the page
// could not be fetched or publishes no version.
uint32_t getServerFwVersion(const Settings& settings);
uint32_t getServerFwVersion();

// Asks the platform to open the page in the default browser.
void OpenFirmwareURL(const Settings& settings);
void OpenFirmwareURL();

// The first published version in a page body, packed; 0 when there is none,
// or when one of its four numbers does not fit a signed 32-bit integer.
// Looks at the first kMaxFirmwarePageBytes bytes only.
uint32_t extractFirmwareVersion(const std::string& body);

// The page address: the settings' one, else the build-time one.
std::string firmwarePageUrl(const Settings& settings);
