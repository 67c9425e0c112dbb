#include "app/DeviceDiscovery.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

const char* const kDefaultDevicePath = "/dev/cu.SLAB_USBtoUART";

namespace {

const char kCalloutPrefix[] = "cu.";
const char kUnitPathMark[] = "/dev/cu.usbmodemMB";

// The device path lives in a 256-byte buffer with its terminator.
const size_t kMaxDevicePathLength = 255;

}  // namespace

std::vector<std::string> listSerialCalloutDevices(const std::string& devDirectory) {
  std::string devDir = devDirectory;
  while (devDir.size() > 1 && devDir.back() == '/') {
    devDir.pop_back();
  }
  const std::string separator = devDir == "/" ? "" : "/";

  std::vector<std::string> names;
  DIR* dir = opendir(devDir.c_str());
  if (!dir) {
    return {};
  }
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.compare(0, sizeof(kCalloutPrefix) - 1, kCalloutPrefix) != 0) {
      continue;
    }
    struct stat info;
    if (lstat((devDir + separator + name).c_str(), &info) != 0) {
      continue;
    }
    if (S_ISCHR(info.st_mode) || S_ISLNK(info.st_mode)) {
      names.push_back(name);
    }
  }
  closedir(dir);

  std::sort(names.begin(), names.end());
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) {
    paths.push_back(devDir + separator + name);
  }
  return paths;
}

std::string chooseUnitDevice(const std::vector<std::string>& paths) {
  std::string chosen = kDefaultDevicePath;
  for (const std::string& path : paths) {
    if (path.find(kUnitPathMark) != std::string::npos && path.size() <= kMaxDevicePathLength) {
      chosen = path;
    }
  }
  return chosen;
}
