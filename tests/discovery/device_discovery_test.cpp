#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/DeviceDiscovery.h"
#include "app_files.h"

namespace {

TEST(DeviceDiscoveryTest, PicksTheLastUnitPathElseTheDefault) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "/dev/cu.SLAB_USBtoUART"}, {{"/dev/tty.usbmodemMB1", "/dev/cu.usbmodemmb1"}, "/dev/cu.SLAB_USBtoUART"},
      {{"/dev/cu.usbmodemMB0002", "/dev/cu.other", "/dev/cu.usbmodemMB0001"}, "/dev/cu.usbmodemMB0001"},
      {{"/dev/cu.usbmodemMB1", "/dev/cu.usbmodemMB" + std::string(300, '9')}, "/dev/cu.usbmodemMB1"},
  };
  for (const auto& c : cases) EXPECT_EQ(chooseUnitDevice(c.first), c.second);
}

TEST(DeviceDiscoveryTest, ListsCalloutLinksInNameOrderAndSkipsEverythingElse) {
  app_test::TempDir dir;
  for (const char* name : {"cu.usbmodemMB2", "cu.SLAB", "cu.usbmodemMB1", "tty.usbmodemMB1", "cux"})
    ASSERT_EQ(symlink("/dev/null", dir.file(name).c_str()), 0);
  ASSERT_EQ(mkdir(dir.file("cu.directory").c_str(), 0755), 0);
  EXPECT_EQ(listSerialCalloutDevices(dir.path() + "/"),
            (std::vector<std::string>{dir.file("cu.SLAB"), dir.file("cu.usbmodemMB1"), dir.file("cu.usbmodemMB2")}));
}

}  // namespace
