#include "serial/linux/SerialDevices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

namespace fs = std::filesystem;

class SerialDevicesTest : public ::testing::Test {
  protected:
    void Touch(const std::string& relative) {
        const fs::path file = dev / relative;
        fs::create_directories(file.parent_path());
        WriteBytes(file, "");
    }
    std::string Path(const std::string& relative) const { return (dev / relative).string(); }

    TempFolder folder;
    fs::path dev = folder / "dev";
};

TEST_F(SerialDevicesTest, ListsByIdLinksThenEachFamilyInNaturalOrder) {
    for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyUSB1", "ttyUSB0", "ttyACM0",
                             "serial/by-id/usb-Scanner-if10", "serial/by-id/usb-Scanner-if2",
                             "serial/by-id/usb-Adapter"}) {
        Touch(name);
    }
    const std::vector<std::string> expected = {Path("serial/by-id/usb-Adapter"),
                                               Path("serial/by-id/usb-Scanner-if2"),
                                               Path("serial/by-id/usb-Scanner-if10"),
                                               Path("ttyUSB0"),
                                               Path("ttyUSB1"),
                                               Path("ttyACM0"),
                                               Path("ttyS0"),
                                               Path("ttyS2"),
                                               Path("ttyS10")};
    EXPECT_EQ(ListSerialDevices(dev.string()), expected);
}

TEST_F(SerialDevicesTest, LeavesOutOtherTerminalsAndFolders) {
    for (const char* name :
         {"tty0", "tty1", "ttyS", "ttySAC0", "ttyprintk", "console", "ttyUSBx", "ttyS3"}) {
        Touch(name);
    }
    fs::create_directories(dev / "ttyACM7");  // a folder is no device
    fs::create_directories(dev / "serial" / "by-id" / "nested");
    EXPECT_EQ(ListSerialDevices(dev.string()), std::vector<std::string>{Path("ttyS3")});
}

TEST_F(SerialDevicesTest, MissingFoldersListNothing) {
    EXPECT_TRUE(ListSerialDevices((folder / "absent").string()).empty());
    Touch("ttyACM0");  // no serial/by-id: the families are still listed
    EXPECT_EQ(ListSerialDevices(dev.string()), std::vector<std::string>{Path("ttyACM0")});
}

TEST(NaturalLess, ComparesDigitRunsAsNumbers) {
    EXPECT_TRUE(NaturalLess("ttyS2", "ttyS10"));
    EXPECT_FALSE(NaturalLess("ttyS10", "ttyS2"));
    EXPECT_TRUE(NaturalLess("ttyS9", "ttyS10"));
    EXPECT_TRUE(NaturalLess("a2b3", "a2b10"));
    EXPECT_TRUE(NaturalLess("ttyS", "ttyS0"));
    EXPECT_FALSE(NaturalLess("ttyS0", "ttyS"));
    EXPECT_FALSE(NaturalLess("ttyS4", "ttyS4"));
    EXPECT_TRUE(NaturalLess("ttyACM0", "ttyS0"));
    // Equal numbers differ only in leading zeros: an order all the same, never a tie.
    EXPECT_NE(NaturalLess("x01", "x1"), NaturalLess("x1", "x01"));
}

}  // namespace
}  // namespace reradav
