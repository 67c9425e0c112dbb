#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/DeviceDiscovery.h"
#include "app_files.h"

using app_test::TempDir;
using app_test::writeFile;

namespace {

TEST(DeviceRuleTest, PicksTheLastUnitPathElseTheDefault) {
  const struct {
    const char* name;
    std::vector<std::string> paths;
    std::string expected;
  } cases[] = {
      {"nothing listed", {}, "/dev/cu.SLAB_USBtoUART"},
      {"no unit among others", {"/dev/cu.Bluetooth-Incoming-Port", "/dev/cu.usbmodem1421"}, "/dev/cu.SLAB_USBtoUART"},
      {"one unit", {"/dev/cu.Bluetooth", "/dev/cu.usbmodemMB0123451"}, "/dev/cu.usbmodemMB0123451"},
      {"two units: the last listed wins",
       {"/dev/cu.usbmodemMB0002", "/dev/cu.other", "/dev/cu.usbmodemMB0001"},
       "/dev/cu.usbmodemMB0001"},
      {"mark anywhere in the path", {"/tmp/x/dev/cu.usbmodemMB7"}, "/tmp/x/dev/cu.usbmodemMB7"},
      {"case matters", {"/dev/cu.usbmodemmb0001", "/dev/cu.USBMODEMMB0001"}, "/dev/cu.SLAB_USBtoUART"},
      {"the tty side does not count", {"/dev/tty.usbmodemMB0001"}, "/dev/cu.SLAB_USBtoUART"},
      {"a path too long for the device buffer is passed over",
       {"/dev/cu.usbmodemMB1", "/dev/cu.usbmodemMB" + std::string(300, '9')},
       "/dev/cu.usbmodemMB1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(chooseUnitDevice(c.paths), c.expected) << c.name;
  }
}

class CalloutListingTest : public ::testing::Test {
protected:
  void SetUp() override {
    devDir = dir.path() + "/dev";
    ASSERT_EQ(mkdir(devDir.c_str(), 0755), 0);
  }

  TempDir dir;
  std::string devDir;
};

TEST_F(CalloutListingTest, ListsCalloutLinksInNameOrderAndSkipsEverythingElse) {
  EXPECT_TRUE(listSerialCalloutDevices(devDir).empty());
  EXPECT_TRUE(listSerialCalloutDevices(dir.path() + "/absent").empty());

  for (const char* name : {"cu.usbmodemMB0002", "cu.SLAB_USBtoUART", "cu.usbmodemMB0001", "tty.usbmodemMB0001", "cux"}) {
    ASSERT_EQ(symlink("/dev/null", (devDir + "/" + name).c_str()), 0) << name;
  }
  ASSERT_TRUE(writeFile(devDir + "/cu.regular-file", "not a device"));
  ASSERT_EQ(mkdir((devDir + "/cu.directory").c_str(), 0755), 0);

  const std::vector<std::string> expected = {devDir + "/cu.SLAB_USBtoUART", devDir + "/cu.usbmodemMB0001",
                                             devDir + "/cu.usbmodemMB0002"};
  EXPECT_EQ(listSerialCalloutDevices(devDir), expected);
  EXPECT_EQ(listSerialCalloutDevices(devDir + "/"), expected);
  // The last unit in name order is the one chosen.
  EXPECT_EQ(chooseUnitDevice(listSerialCalloutDevices(devDir)), devDir + "/cu.usbmodemMB0002");
}

TEST_F(CalloutListingTest, ListsCharacterDeviceNodes) {
  if (mknod((devDir + "/cu.node").c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "cannot make device nodes here";
  }
  EXPECT_EQ(listSerialCalloutDevices(devDir), std::vector<std::string>{devDir + "/cu.node"});
}

}  // namespace
