#include "serial/ComDevices.h"

#include <gtest/gtest.h>

namespace reradav {

TEST(ComDevicesTest, BuiltInFamiliesAndOverrides) {
    ComDevices devices;
    devices.Set(5, "/dev/by-id");
    devices.Set(6, "/dev/a");
    devices.Set(6, "");  // an empty path removes the override
    std::string seen;
    for (int port : {0, 1, 4, 5, 6, 7, 9, 12, 13, 16, 17})
        seen += ComDevices::DefaultDeviceFor(port) + ">" + devices.DeviceFor(port) + " ";
    EXPECT_EQ(seen,
              "> /dev/ttyS0>/dev/ttyS0 /dev/ttyS3>/dev/ttyS3 /dev/ttyUSB0>/dev/by-id "
              "/dev/ttyUSB1>/dev/ttyUSB1 /dev/ttyUSB2>/dev/ttyUSB2 /dev/ttyACM0>/dev/ttyACM0 "
              "/dev/ttyACM3>/dev/ttyACM3 /dev/ttyS4>/dev/ttyS4 /dev/ttyS7>/dev/ttyS7 > ");
    EXPECT_EQ(devices.Overrides().size(), 1u);
}

// Good texts come back canonical; a bad one's message quotes it and names the faulty field.
TEST(ParsePortSettingsTest, ReadsEveryFieldOrNamesTheFaultyOne) {
    std::string seen;
    for (const char* text : {"9600,N,8,1",   "1,n,5,2",           "110,O,6,1.5",
                             "300,o,7,1",    "4800,E,8,2",        "4800,e,8,1",
                             "1200,M,7,1",   "1200,m,7,1",        "2400,S,8,2",
                             "2400,s,8,2",   " 96 ,\tE\t,7 , 1 ", "",
                             "9600,N,8",     "9600,N,8,1,",       ",N,8,1",
                             "0,N,8,1",      "-9600,N,8,1",       "+9600,N,8,1",
                             "96 00,N,8,1",  "99999999999,N,8,1", "9600,X,8,1",
                             "9600,,8,1",    "9600,NN,8,1",       "9600,N,4,1",
                             "9600,N,9,1",   "9600,N,8x,1",       "9600,N,8,3",
                             "9600,N,8,1.0", "9600,N,8,"}) {
        const PortSettingsParse p = ParsePortSettings(text);
        const std::string quoted = "Bad line settings \"" + std::string(text) + "\": ";
        seen += p.ok && p.error.empty()         ? FormatPortSettings(p.settings) + " "
                : p.error.rfind(quoted, 0) == 0 ? p.error.substr(quoted.size(), 1)
                                                : "?";
    }
    EXPECT_EQ(seen,
              "9600,N,8,1 1,N,5,2 110,O,6,1.5 300,O,7,1 4800,E,8,2 4800,E,8,1 1200,M,7,1 "
              "1200,M,7,1 2400,S,8,2 2400,S,8,2 96,E,7,1 eeettttttpppdddsss");
}

}  // namespace reradav
