#include "serial/ComDevices.h"

#include "common/Text.h"

#include <array>
#include <charconv>
#include <vector>

namespace reradav {

std::string ComDevices::DefaultDeviceFor(int port) {
    if (port < firstPort || port > lastPort) {
        return {};
    }
    // Four ports per family, in COM order.
    static constexpr std::array<const char*, 4> families = {"/dev/ttyS", "/dev/ttyUSB",
                                                            "/dev/ttyACM", "/dev/ttyS"};
    const int family = (port - 1) / 4;
    const int index = (port - 1) % 4 + (family == 3 ? 4 : 0);
    return families[family] + std::to_string(index);
}

void ComDevices::Set(int port, std::string path) {
    if (path.empty()) {
        overrides_.erase(port);
    } else {
        overrides_[port] = std::move(path);
    }
}

std::string ComDevices::DeviceFor(int port) const {
    if (auto it = overrides_.find(port); it != overrides_.end()) {
        return it->second;
    }
    return DefaultDeviceFor(port);
}

namespace {

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto comma = text.find(',');
        fields.push_back(Trim(text.substr(0, comma), " \t"));
        if (comma == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(comma + 1);
    }
}

// Digits only: no sign, no blanks inside, no trailing text.
bool ParseWhole(std::string_view s, std::uint32_t& value) {
    if (s.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size() && s.front() != '+' && s.front() != '-';
}

PortSettingsParse Failure(std::string_view text, std::string_view why) {
    PortSettingsParse result;
    result.error = "Bad line settings \"" + std::string(text) + "\": " + std::string(why);
    return result;
}

}  // namespace

PortSettingsParse ParsePortSettings(std::string_view text) {
    const auto fields = SplitFields(text);
    if (fields.size() != 4) {
        return Failure(text, "expected rate,parity,data bits,stop bits");
    }

    PortSettings s;
    if (!ParseWhole(fields[0], s.baud) || s.baud == 0) {
        return Failure(text, "the rate must be a whole number above 0");
    }

    const std::string_view parity = fields[1];
    if (parity.size() != 1) {
        return Failure(text, "parity must be N, O, E, M or S");
    }
    switch (parity.front()) {
        case 'N':
        case 'n':
            s.parity = PortSettings::Parity::None;
            break;
        case 'O':
        case 'o':
            s.parity = PortSettings::Parity::Odd;
            break;
        case 'E':
        case 'e':
            s.parity = PortSettings::Parity::Even;
            break;
        case 'M':
        case 'm':
            s.parity = PortSettings::Parity::Mark;
            break;
        case 'S':
        case 's':
            s.parity = PortSettings::Parity::Space;
            break;
        default:
            return Failure(text, "parity must be N, O, E, M or S");
    }

    std::uint32_t bits = 0;
    if (!ParseWhole(fields[2], bits) || bits < 5 || bits > 8) {
        return Failure(text, "data bits must be 5, 6, 7 or 8");
    }
    s.dataBits = static_cast<int>(bits);

    const std::string_view stop = fields[3];
    if (stop == "1") {
        s.stopBits = PortSettings::StopBits::One;
    } else if (stop == "1.5") {
        s.stopBits = PortSettings::StopBits::OneAndHalf;
    } else if (stop == "2") {
        s.stopBits = PortSettings::StopBits::Two;
    } else {
        return Failure(text, "stop bits must be 1, 1.5 or 2");
    }

    PortSettingsParse result;
    result.ok = true;
    result.settings = s;
    return result;
}

std::string FormatPortSettings(const PortSettings& settings) {
    static constexpr std::array<char, 5> letters = {'N', 'O', 'E', 'M', 'S'};
    static constexpr std::array<const char*, 3> stops = {"1", "1.5", "2"};
    std::string text = std::to_string(settings.baud);
    text += ',';
    text += letters[static_cast<std::size_t>(settings.parity)];
    text += ',';
    text += std::to_string(settings.dataBits);
    text += ',';
    text += stops[static_cast<std::size_t>(settings.stopBits)];
    return text;
}

}  // namespace reradav
