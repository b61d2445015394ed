#pragma once

#include <string>
#include <vector>

namespace reradav {

// A COM port present on this machine. Texts are UTF-8.
struct ComPortName {
    std::string port;         // "COM3"
    std::string description;  // "USB Serial Port (COM3)"; the port's name when Windows has none

    bool operator==(const ComPortName&) const = default;
};

// The COM ports present now, COM2 before COM10: the Ports device class with the names Device
// Manager shows, and the ports only the registry's SERIALCOMM map knows (some virtual port
// drivers, Wine) with their bare names.
std::vector<ComPortName> ListComPorts();

// One list from both sources: each port once (case aside), the described entry winning, ordered
// by the name's letters and then its number.
std::vector<ComPortName> MergeComPorts(std::vector<ComPortName> described,
                                       const std::vector<std::string>& bare);

}  // namespace reradav
