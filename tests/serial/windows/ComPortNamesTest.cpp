#include "serial/windows/ComPortNames.h"

#include <gtest/gtest.h>

namespace reradav {
namespace {

TEST(MergeComPorts, EachPortOnceDescribedWhereWindowsCanInNaturalOrder) {
    const std::vector<ComPortName> described = {
        {"COM10", "USB Serial Port (COM10)"}, {"COM2", ""}, {"COM3", "Communications Port (COM3)"}};
    const std::vector<std::string> bare = {"COM3", "CNCA0", "com1", "com10", "COM20", "COM2"};
    EXPECT_EQ(MergeComPorts(described, bare),
              (std::vector<ComPortName>{{"CNCA0", "CNCA0"},
                                        {"com1", "com1"},
                                        {"COM2", "COM2"},
                                        {"COM3", "Communications Port (COM3)"},
                                        {"COM10", "USB Serial Port (COM10)"},
                                        {"COM20", "COM20"}}));
}

}  // namespace
}  // namespace reradav
