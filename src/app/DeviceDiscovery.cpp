#include "app/DeviceDiscovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

const char* const kDefaultDevicePath = "/dev/cu.SLAB_USBtoUART";
const char* const kDeviceOpens = "can be opened";

namespace {

const char kCalloutPrefix[] = "cu.";
const char kUnitPathMark[] = "/dev/cu.usbmodemMB";

// Where USB serial devices show up besides the call-out devices.
const char* const kUsbSerialPatterns[] = {"/dev/ttyACM*", "/dev/ttyUSB*", "/dev/serial/by-id/*"};

const char kUdevRule[] = "packaging/70-tavix.rules";

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

std::vector<std::string> listSerialDevices(const std::string& devDir) {
  std::vector<std::string> paths = listSerialCalloutDevices(devDir);
  for (const char* pattern : kUsbSerialPatterns) {
    glob_t found;
    if (glob(pattern, 0, nullptr, &found) == 0) {
      paths.insert(paths.end(), found.gl_pathv, found.gl_pathv + found.gl_pathc);
    }
    globfree(&found);
  }
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

std::string describeDeviceAccess(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  const int openError = errno;
  // Another program that opened the device may hold a lock on it instead of
  // making it exclusive.
  const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  if (fd >= 0) {
    close(fd);
    return locked ? "busy (another program holds it)" : kDeviceOpens;
  }
  switch (openError) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
      return "not found";
    case EBUSY:
      return "busy (another program holds it)";
    case EACCES:
    case EPERM: {
      struct stat info;
      const group* owner = stat(path.c_str(), &info) == 0 ? getgrgid(info.st_gid) : nullptr;
      return std::string("permission denied (install the udev rule ") + kUdevRule + ", or join the group \"" +
             (owner ? owner->gr_name : "dialout") + "\" that owns the device and log in again)";
    }
    default:
      return std::strerror(openError);
  }
}

std::string serialDeviceReport(const std::string& devDir) {
  std::vector<std::string> paths = listSerialDevices(devDir);
  const std::string chosen = chooseUnitDevice(listSerialCalloutDevices(devDir));
  if (std::find(paths.begin(), paths.end(), chosen) == paths.end()) {
    paths.insert(std::upper_bound(paths.begin(), paths.end(), chosen), chosen);
  }
  std::string report;
  for (const std::string& path : paths) {
    report += (path == chosen ? "* " : "  ") + path + ": " + describeDeviceAccess(path) + "\n";
  }
  return report;
}
