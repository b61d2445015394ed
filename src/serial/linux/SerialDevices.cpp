#include "serial/linux/SerialDevices.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string_view>

namespace reradav {

namespace {

namespace fs = std::filesystem;

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Names in `folder` (not sub-folders) that `keep` accepts, as full paths in natural order.
template <typename Keep>
std::vector<std::string> Entries(const fs::path& folder, Keep keep) {
    std::vector<std::string> found;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (keep(name) && !it->is_directory(typeError)) {
            found.push_back(it->path().string());
        }
    }
    std::sort(found.begin(), found.end(), NaturalLess);
    return found;
}

// "ttyUSB0" for the prefix "ttyUSB": the prefix and a number, nothing else ("ttyS" alone or
// "ttySAC0" belong to no family here).
bool IsNumbered(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
        return false;
    }
    const std::string_view number = name.substr(prefix.size());
    return std::all_of(number.begin(), number.end(), IsDigit);
}

}  // namespace

std::string StableNameFor(const std::string& device, const std::string& root) {
    std::error_code ec;
    const fs::path target = fs::canonical(device, ec);
    if (ec || fs::path(device).parent_path() == fs::path(root) / "serial/by-id") {
        return {};
    }
    for (const std::string& link :
         Entries(fs::path(root) / "serial/by-id", [](auto&) { return true; })) {
        std::error_code linkError;
        if (fs::canonical(link, linkError) == target && !linkError) {
            return fs::path(link).filename().string();
        }
    }
    return {};
}

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && IsDigit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && IsDigit(b[endB])) {
                ++endB;
            }
            // Without leading zeros the longer run is the larger number.
            std::string_view runA = std::string_view(a).substr(i, endA - i);
            std::string_view runB = std::string_view(b).substr(j, endB - j);
            const auto trimmed = [](std::string_view s) {
                while (s.size() > 1 && s.front() == '0') {
                    s.remove_prefix(1);
                }
                return s;
            };
            const std::string_view numA = trimmed(runA);
            const std::string_view numB = trimmed(runB);
            if (numA.size() != numB.size()) {
                return numA.size() < numB.size();
            }
            if (numA != numB) {
                return numA < numB;
            }
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size();
            }
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> ListSerialDevices(const std::string& root) {
    const fs::path dev(root);
    std::vector<std::string> devices =
        Entries(dev / "serial" / "by-id", [](const std::string&) { return true; });
    static constexpr std::array<std::string_view, 3> kFamilies = {"ttyUSB", "ttyACM", "ttyS"};
    for (std::string_view family : kFamilies) {
        auto found =
            Entries(dev, [family](const std::string& name) { return IsNumbered(name, family); });
        devices.insert(devices.end(), found.begin(), found.end());
    }
    return devices;
}

}  // namespace reradav
