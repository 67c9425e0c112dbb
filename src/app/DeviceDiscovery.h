// Finding the unit's serial device: the call-out devices the system lists,
// and the rule that picks the unit among them.
#pragma once

#include <string>
#include <vector>

// Used when no listed device looks like a unit.
extern const char* const kDefaultDevicePath;

// Paths of the serial call-out devices ("cu.*" entries of devDir that are
// character devices or symbolic links), in name order. An unreadable
// directory lists nothing.
std::vector<std::string> listSerialCalloutDevices(const std::string& devDir);

// The last path containing "/dev/cu.usbmodemMB" wins; when none does, the
// default device path.
std::string chooseUnitDevice(const std::vector<std::string>& paths);

// Every serial device worth showing the user: the call-out devices of devDir
// and the USB serial devices (ttyACM*, ttyUSB*, serial/by-id/*), sorted, each
// once.
std::vector<std::string> listSerialDevices(const std::string& devDir);

// Whether this user can open the device, in words: kDeviceOpens, or why not
// (not found, permission denied with the fix, busy, or the system's reason).
std::string describeDeviceAccess(const std::string& path);
extern const char* const kDeviceOpens;

// The lines --list prints: one per device, the one discovery would choose
// marked with "*".
std::string serialDeviceReport(const std::string& devDir);
