#pragma once

#include <string>
#include <vector>

namespace reradav {

// The serial devices present under `root` (normally /dev), as full paths: the stable
// serial/by-id links first, then ttyUSB*, ttyACM* and ttyS*, each group in natural order
// (ttyS2 before ttyS10). USB adapters come before the on-board UARTs because a PC often lists
// dozens of ttyS nodes without hardware behind them. A missing folder lists nothing.
std::vector<std::string> ListSerialDevices(const std::string& root = "/dev");

// The stable name of a device, the /dev/serial/by-id link that leads to it ("usb-FTDI_…"),
// which stays when a USB adapter comes back as another ttyUSBn; empty when it has none or is
// named by it already.
std::string StableNameFor(const std::string& device, const std::string& root = "/dev");

// Orders texts with their digit runs compared as numbers: "ttyS2" < "ttyS10".
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace reradav
