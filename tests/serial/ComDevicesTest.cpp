#include "serial/ComDevices.h"

#include <gtest/gtest.h>

#include <string>

namespace reradav {
namespace {

TEST(ComDevicesTest, BuiltInMappingCoversEachFamilyInOrder) {
    const struct {
        int port;
        const char* device;
    } cases[] = {
        {1, "/dev/ttyS0"},   {2, "/dev/ttyS1"},    {3, "/dev/ttyS2"},    {4, "/dev/ttyS3"},
        {5, "/dev/ttyUSB0"}, {6, "/dev/ttyUSB1"},  {7, "/dev/ttyUSB2"},  {8, "/dev/ttyUSB3"},
        {9, "/dev/ttyACM0"}, {10, "/dev/ttyACM1"}, {11, "/dev/ttyACM2"}, {12, "/dev/ttyACM3"},
        {13, "/dev/ttyS4"},  {14, "/dev/ttyS5"},   {15, "/dev/ttyS6"},   {16, "/dev/ttyS7"},
    };
    const ComDevices devices;
    for (const auto& c : cases) {
        EXPECT_EQ(ComDevices::DefaultDeviceFor(c.port), c.device) << "COM" << c.port;
        EXPECT_EQ(devices.DeviceFor(c.port), c.device) << "COM" << c.port;
    }
}

TEST(ComDevicesTest, PortsOutsideTheListHaveNoBuiltInDevice) {
    const ComDevices devices;
    for (int port : {-1, 0, 17, 255}) {
        EXPECT_EQ(ComDevices::DefaultDeviceFor(port), "") << port;
        EXPECT_EQ(devices.DeviceFor(port), "") << port;
    }
}

TEST(ComDevicesTest, OverrideWinsForItsPortOnly) {
    ComDevices devices;
    devices.Set(5, "/dev/serial/by-id/usb-Scanner-if00");
    EXPECT_TRUE(devices.HasOverride(5));
    EXPECT_EQ(devices.DeviceFor(5), "/dev/serial/by-id/usb-Scanner-if00");
    EXPECT_EQ(devices.DeviceFor(6), "/dev/ttyUSB1");
    EXPECT_FALSE(devices.HasOverride(6));

    devices.Set(5, "/dev/ttyACM7");
    EXPECT_EQ(devices.DeviceFor(5), "/dev/ttyACM7");
    EXPECT_EQ(devices.Overrides().size(), 1u);
}

TEST(ComDevicesTest, OverrideCanNameAPortWithoutBuiltInDevice) {
    ComDevices devices;
    devices.Set(17, "/dev/rfcomm0");
    EXPECT_EQ(devices.DeviceFor(17), "/dev/rfcomm0");
}

TEST(ComDevicesTest, EmptyPathOrClearRestoresTheBuiltInDevice) {
    ComDevices devices;
    devices.Set(1, "/tmp/a");
    devices.Set(2, "/tmp/b");
    devices.Set(1, "");
    devices.Clear(2);
    EXPECT_FALSE(devices.HasOverride(1));
    EXPECT_FALSE(devices.HasOverride(2));
    EXPECT_EQ(devices.DeviceFor(1), "/dev/ttyS0");
    EXPECT_EQ(devices.DeviceFor(2), "/dev/ttyS1");
    EXPECT_TRUE(devices.Overrides().empty());
}

using Parity = PortSettings::Parity;
using StopBits = PortSettings::StopBits;

struct GoodCase {
    const char* text;
    PortSettings expected;
    const char* canonical;
};

void PrintTo(const GoodCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParsePortSettingsGood : public ::testing::TestWithParam<GoodCase> {};

TEST_P(ParsePortSettingsGood, ReadsEveryField) {
    const PortSettingsParse parsed = ParsePortSettings(GetParam().text);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_TRUE(parsed.error.empty());
    EXPECT_EQ(parsed.settings.baud, GetParam().expected.baud);
    EXPECT_EQ(parsed.settings.parity, GetParam().expected.parity);
    EXPECT_EQ(parsed.settings.dataBits, GetParam().expected.dataBits);
    EXPECT_EQ(parsed.settings.stopBits, GetParam().expected.stopBits);
    EXPECT_EQ(FormatPortSettings(parsed.settings), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(
    Notation, ParsePortSettingsGood,
    ::testing::Values(
        GoodCase{"9600,N,8,1", {9600, Parity::None, 8, StopBits::One}, "9600,N,8,1"},
        GoodCase{"110,O,5,2", {110, Parity::Odd, 5, StopBits::Two}, "110,O,5,2"},
        GoodCase{"115200,E,6,1", {115200, Parity::Even, 6, StopBits::One}, "115200,E,6,1"},
        GoodCase{"1200,M,7,1.5", {1200, Parity::Mark, 7, StopBits::OneAndHalf}, "1200,M,7,1.5"},
        GoodCase{"2400,S,8,2", {2400, Parity::Space, 8, StopBits::Two}, "2400,S,8,2"},
        GoodCase{"4800,n,8,1", {4800, Parity::None, 8, StopBits::One}, "4800,N,8,1"},
        GoodCase{"4800,o,7,1", {4800, Parity::Odd, 7, StopBits::One}, "4800,O,7,1"},
        GoodCase{"4800,e,7,1", {4800, Parity::Even, 7, StopBits::One}, "4800,E,7,1"},
        GoodCase{"4800,m,7,1", {4800, Parity::Mark, 7, StopBits::One}, "4800,M,7,1"},
        GoodCase{"4800,s,7,1", {4800, Parity::Space, 7, StopBits::One}, "4800,S,7,1"},
        GoodCase{" 19200 , E , 7 , 1 ", {19200, Parity::Even, 7, StopBits::One}, "19200,E,7,1"},
        GoodCase{"14400,N,8,1", {14400, Parity::None, 8, StopBits::One}, "14400,N,8,1"}));

struct BadCase {
    const char* text;
    const char* why;  // the part of the message that names the fault
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParsePortSettingsBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(ParsePortSettingsBad, NamesTheFaultyField) {
    const PortSettingsParse parsed = ParsePortSettings(GetParam().text);
    EXPECT_FALSE(parsed.ok);
    EXPECT_NE(parsed.error.find(GetParam().why), std::string::npos) << parsed.error;
    // The message quotes the text, so the user sees what was refused.
    EXPECT_NE(parsed.error.find(std::string("\"") + GetParam().text + "\""), std::string::npos)
        << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Notation, ParsePortSettingsBad,
    ::testing::Values(BadCase{"", "rate,parity,data bits,stop bits"},
                      BadCase{"9600,N,8", "rate,parity,data bits,stop bits"},
                      BadCase{"9600,N,8,1,", "rate,parity,data bits,stop bits"},
                      BadCase{"9600N81", "rate,parity,data bits,stop bits"},
                      BadCase{",N,8,1", "rate"}, BadCase{"0,N,8,1", "rate"},
                      BadCase{"-9600,N,8,1", "rate"}, BadCase{"+9600,N,8,1", "rate"},
                      BadCase{"96 00,N,8,1", "rate"}, BadCase{"9600.5,N,8,1", "rate"},
                      BadCase{"99999999999,N,8,1", "rate"}, BadCase{"9600,X,8,1", "parity"},
                      BadCase{"9600,,8,1", "parity"}, BadCase{"9600,NN,8,1", "parity"},
                      BadCase{"9600,N,4,1", "data bits"}, BadCase{"9600,N,9,1", "data bits"},
                      BadCase{"9600,N,,1", "data bits"}, BadCase{"9600,N,8x,1", "data bits"},
                      BadCase{"9600,N,8,0", "stop bits"}, BadCase{"9600,N,8,3", "stop bits"},
                      BadCase{"9600,N,8,1.0", "stop bits"}, BadCase{"9600,N,8,", "stop bits"}));

TEST(ParsePortSettingsTest, DefaultStructIsTheComponentDefault) {
    EXPECT_EQ(FormatPortSettings(PortSettings{}), "9600,N,8,1");
    EXPECT_EQ(ParsePortSettings("9600,N,8,1").settings, PortSettings{});
}

}  // namespace
}  // namespace reradav
