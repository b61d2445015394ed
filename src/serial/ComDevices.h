#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace reradav {

// COM number -> Linux device path. The fixed mapping follows the usual device families
// (on-board UARTs, USB serial adapters, USB CDC-ACM scanners, more UARTs); a `Device<n>` entry
// of the settings file overrides it for one port, e.g. with a /dev/serial/by-id/ link.
class ComDevices {
  public:
    static constexpr int firstPort = 1;
    static constexpr int lastPort = 16;

    // The built-in device of COMn, empty when n is outside 1..16.
    static std::string DefaultDeviceFor(int port);

    // An empty path removes the override. Any port number may carry an override.
    void Set(int port, std::string path);
    void Clear(int port) { overrides_.erase(port); }
    bool HasOverride(int port) const { return overrides_.count(port) != 0; }
    const std::map<int, std::string>& Overrides() const { return overrides_; }

    // The override when there is one, else the built-in device; empty when there is neither.
    std::string DeviceFor(int port) const;

  private:
    std::map<int, std::string> overrides_;
};

// The component's `Settings` notation, "rate,parity,data bits,stop bits" ("9600,N,8,1").
struct PortSettings {
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    std::uint32_t baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    bool operator==(const PortSettings&) const = default;
};

struct PortSettingsParse {
    bool ok = false;
    PortSettings settings;  // meaningful only when ok
    std::string error;      // plain words, empty when ok
};

// Blanks around each field are allowed and the parity letter may be either case. The rate is
// any whole number above 0 here; which rates a device can use is the adapter's business.
PortSettingsParse ParsePortSettings(std::string_view text);

// The canonical text, e.g. "9600,N,8,1" or "2400,M,7,1.5".
std::string FormatPortSettings(const PortSettings& settings);

}  // namespace reradav
