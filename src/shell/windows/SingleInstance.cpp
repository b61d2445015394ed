#include "shell/windows/SingleInstance.h"

#include <cstdint>
#include <utility>

#include "common/windows/SystemText.h"

namespace reradav {
namespace {

// Upper case by the invariant table: the same for every user's language (no Turkish dotless i).
std::wstring CaseFolded(const std::wstring& text) {
    const int size = static_cast<int>(text.size());
    std::wstring folded(text.size(), L'\0');
    if (size == 0 || ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), size,
                                     folded.data(), size, nullptr, nullptr, 0) != size) {
        return text;
    }
    return folded;
}

// 64-bit FNV-1a over the UTF-16 text.
std::uint64_t Hash(std::wstring_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t unit : text) {
        for (const unsigned byte : {unsigned(unit) & 0xffu, unsigned(unit) >> 8}) {
            hash = (hash ^ byte) * 1099511628211ull;
        }
    }
    return hash;
}

}  // namespace

std::string InstanceNameFor(const std::filesystem::path& settingsFile) {
    // The system's own rules: "." and ".." resolved, "/" turned into "\\", trailing dots dropped.
    const std::wstring& given = settingsFile.native();
    std::wstring full(::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD size = full.empty()
                           ? 0
                           : ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
    full.resize(size < full.size() ? size : 0);
    const std::uint64_t hash = Hash(CaseFolded(full.empty() ? given : full));
    constexpr char kDigits[] = "0123456789abcdef";
    std::string name = "Local\\Reradav-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += kDigits[(hash >> shift) & 0xf];
    }
    return name;
}

SingleInstance::SingleInstance(std::string name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
    if (mutex_ != nullptr) {
        ::CloseHandle(mutex_);
    }
}

SingleInstance::Result SingleInstance::Acquire(std::string* error) {
    if (mutex_ != nullptr) {
        return Result::Acquired;
    }
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, Utf8ToWide(name_).c_str());
    const DWORD status = ::GetLastError();
    // A copy running elevated makes a mutex this one may not open: it exists all the same.
    if (status == ERROR_ALREADY_EXISTS || (mutex == nullptr && status == ERROR_ACCESS_DENIED)) {
        if (mutex != nullptr) {
            ::CloseHandle(mutex);
        }
        if (error != nullptr) {
            *error = "Another copy holds " + name_;
        }
        return Result::AlreadyRunning;
    }
    if (mutex == nullptr) {
        if (error != nullptr) {
            *error = "Cannot create " + name_ + ": " + SystemMessage(status);
        }
        return Result::Failed;
    }
    mutex_ = mutex;
    return Result::Acquired;
}

}  // namespace reradav
