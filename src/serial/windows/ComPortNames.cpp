#include "serial/windows/ComPortNames.h"

#include <windows.h>

#include <setupapi.h>

// Before devguid.h, so that the Ports class GUID is defined here: no library has it.
#include <initguid.h>

#include <devguid.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

#include "common/windows/SystemText.h"

namespace reradav {
namespace {

// "com10" -> ("COM", 10), so that COM2 comes before COM10 and case does not matter.
std::pair<std::string, unsigned long> SortKey(const std::string& port) {
    const std::size_t digits = port.find_last_not_of("0123456789") + 1;
    std::string letters = port.substr(0, digits);
    std::transform(letters.begin(), letters.end(), letters.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    unsigned long number = 0;
    std::from_chars(port.data() + digits, port.data() + port.size(), number);
    return {std::move(letters), number};
}

// The Ports class also holds the printer ports (LPT1).
std::vector<ComPortName> PortsClass() {
    std::vector<ComPortName> found;
    const HDEVINFO devices =
        ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return found;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        wchar_t port[64] = L"";
        const HKEY key =
            ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key != INVALID_HANDLE_VALUE) {
            DWORD size = sizeof port;
            ::RegGetValueW(key, nullptr, L"PortName", RRF_RT_REG_SZ, nullptr, port, &size);
            ::RegCloseKey(key);
        }
        wchar_t friendly[256] = L"";
        ::SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                            reinterpret_cast<BYTE*>(friendly),
                                            sizeof friendly - sizeof(wchar_t), nullptr);
        if (::_wcsnicmp(port, L"COM", 3) == 0) {
            found.push_back({WideToUtf8(port), WideToUtf8(friendly)});
        }
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return found;
}

// The serial ports the drivers announced: value data such as "COM3".
std::vector<std::string> SerialCommMap() {
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t port[64] = L"";
        DWORD size = sizeof port - sizeof(wchar_t);  // room for the end the data may lack
        DWORD type = 0;
        const LONG status = ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(port), &size);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS && type == REG_SZ && port[0] != L'\0') {
            ports.push_back(WideToUtf8(port));
        }
    }
    ::RegCloseKey(key);
    return ports;
}

}  // namespace

std::vector<ComPortName> MergeComPorts(std::vector<ComPortName> described,
                                       const std::vector<std::string>& bare) {
    for (ComPortName& entry : described) {
        if (entry.description.empty()) {
            entry.description = entry.port;
        }
    }
    for (const std::string& port : bare) {
        described.push_back({port, port});
    }
    const auto before = [](const ComPortName& a, const ComPortName& b) {
        return SortKey(a.port) < SortKey(b.port);
    };
    // Stable, so that of two entries for one port the described one comes first and stays.
    std::stable_sort(described.begin(), described.end(), before);
    described.erase(
        std::unique(described.begin(), described.end(),
                    [&](const auto& a, const auto& b) { return !before(a, b) && !before(b, a); }),
        described.end());
    return described;
}

std::vector<ComPortName> ListComPorts() {
    return MergeComPorts(PortsClass(), SerialCommMap());
}

}  // namespace reradav
