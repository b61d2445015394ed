#include "keys/windows/KeyboardLayoutName.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iterator>

#include "common/windows/SystemText.h"

namespace reradav {
namespace {

std::string LocaleName(WORD language) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    if (::LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) > 0) {
        return WideToUtf8(name);
    }
    char number[8];
    std::snprintf(number, sizeof number, "%04X", language);
    return number;
}

// A layout variant (Dvorak, a second French layout) is told by number in its handle; its name
// is in the registry, under the layout whose "Layout Id" is that number.
std::string VariantText(unsigned variant) {
    HKEY layouts = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts",
                        0, KEY_READ, &layouts) != ERROR_SUCCESS) {
        return {};
    }
    std::string text;
    wchar_t id[16];
    for (DWORD i = 0; text.empty(); ++i) {
        DWORD idLength = std::size(id);
        if (::RegEnumKeyExW(layouts, i, id, &idLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        wchar_t value[256];
        DWORD size = sizeof value;
        if (::RegGetValueW(layouts, id, L"Layout Id", RRF_RT_REG_SZ, nullptr, value, &size) ==
                ERROR_SUCCESS &&
            std::wcstoul(value, nullptr, 16) == variant) {
            size = sizeof value;
            if (::RegGetValueW(layouts, id, L"Layout Text", RRF_RT_REG_SZ, nullptr, value, &size) ==
                ERROR_SUCCESS) {
                text = WideToUtf8(value);
            }
        }
    }
    ::RegCloseKey(layouts);
    return text;
}

}  // namespace

// The handle's low word is the language; its high word the keyboard: a language id, or
// 0xFnnn for variant nnn of the language's layout, 0xEnnn for an input method.
std::string KeyboardLayoutName(HKL layout) {
    const auto handle = reinterpret_cast<std::uintptr_t>(layout);
    const WORD language = LOWORD(handle);
    const WORD keyboard = HIWORD(handle);
    const std::string name = LocaleName(language);
    if (keyboard == language || keyboard == 0) {
        return name;
    }
    switch (keyboard & 0xF000) {
        case 0xF000: {
            const std::string variant = VariantText(keyboard & 0x0FFFu);
            return name + ", " +
                   (variant.empty() ? "layout variant " + std::to_string(keyboard & 0x0FFFu)
                                    : variant);
        }
        case 0xE000:
            return name + ", input method";
        default:
            return name + ", keyboard " + LocaleName(keyboard);
    }
}

}  // namespace reradav
