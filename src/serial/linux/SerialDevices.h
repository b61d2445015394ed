#pragma once

#include <string>
#include <vector>

namespace reradav {

// The serial devices present under `root` (normally /dev), as full paths: the stable
// serial/by-id links first, then ttyUSB*, ttyACM* and ttyS*, each group in natural order
// (ttyS2 before ttyS10). USB adapters come before the on-board UARTs because a PC often lists
// dozens of ttyS nodes without hardware behind them. A missing folder lists nothing.
std::vector<std::string> ListSerialDevices(const std::string& root = "/dev");

// Orders texts with their digit runs compared as numbers: "ttyS2" < "ttyS10".
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace reradav
