#include "serial/linux/SerialDevices.h"

#include <gmock/gmock.h>

#include "support/TempFolder.h"

namespace reradav {

TEST(SerialDevices, ByIdLinksThenEachFamilyInNaturalOrder) {
    test::TempFolder dev;
    std::filesystem::create_directories(dev / "serial/by-id");
    std::filesystem::create_directories(dev / "ttyACM7");  // a folder is no device
    for (const char* name :
         {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM0", "serial/by-id/s", "ttyS", "ttySAC0", "tty1"}) {
        test::WriteBytes(dev / name, "");
    }
    std::string listed;
    for (const auto& path : ListSerialDevices(dev.path().string())) {
        listed += path.substr(dev.path().string().size()) + " ";
    }
    EXPECT_EQ(listed, "/serial/by-id/s /ttyUSB0 /ttyACM0 /ttyS2 /ttyS10 ");
    EXPECT_TRUE(ListSerialDevices((dev / "absent").string()).empty());
    std::filesystem::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-FTDI_A1");
    const std::string root = dev.path().string();
    EXPECT_EQ(StableNameFor(root + "/ttyUSB0", root) + "|" + StableNameFor(root + "/ttyS2", root) +
                  "|" + StableNameFor(root + "/serial/by-id/usb-FTDI_A1", root) + "|" +
                  StableNameFor(root + "/absent", root),
              "usb-FTDI_A1|||");
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"ttyS", "ttyS0", true}, {"ttyS0", "ttyS", false}, {"ttyS4", "ttyS4", false},
        {"x010", "x9", false},   {"x1", "x01", true},      {"x1a", "x1b", true},
        {"x010", "x20", true}};
    for (const auto& [a, b, less] : rows) {
        EXPECT_EQ(NaturalLess(a, b), less) << a << " < " << b;
    }
}

}  // namespace reradav
