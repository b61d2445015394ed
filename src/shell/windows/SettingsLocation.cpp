#include "shell/windows/SettingsLocation.h"

#include <windows.h>

#include <shlobj.h>

#include <string_view>
#include <system_error>

#include "common/Files.h"
#include "shell/windows/AccessRules.h"

namespace reradav {
namespace {

constexpr std::wstring_view kSettingsFileName = L"default.vav";
// Longer than any path the system makes (32767 characters).
constexpr DWORD kLongestPath = 1 << 16;

// Whether this user may make (and remove) a file there, the way a save does.
bool CanMakeFilesIn(const std::filesystem::path& folder) {
    const std::filesystem::path probe =
        folder / (L".reradav-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp");
    const HANDLE handle =
        ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(handle);
    return true;
}

// A copy under Program Files is the machine's, installed for every user, even when this user
// (an administrator, elevated) can write there.
bool UnderProgramFiles(const std::filesystem::path& folder) {
    for (const KNOWNFOLDERID& id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86}) {
        PWSTR known = nullptr;
        const bool found = SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &known));
        const std::wstring root = found ? known : L"";
        ::CoTaskMemFree(known);
        const std::wstring path = folder.wstring();
        if (!root.empty() && path.size() > root.size() && path[root.size()] == L'\\' &&
            ::CompareStringOrdinal(path.c_str(), static_cast<int>(root.size()), root.c_str(),
                                   static_cast<int>(root.size()), TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

}  // namespace

SettingsPlace SettingsPlaceFor(const ProgramFolder& folder, const std::filesystem::path& appData) {
    return ChooseSettingsPlace(folder, appData.empty() ? appData : appData / L"Reradav");
}

ProgramFolder ProgramFolderAt(const std::filesystem::path& folder) {
    ProgramFolder facts{folder};
    if (folder.empty()) {
        return facts;
    }
    const std::filesystem::path beside = folder / kSettingsFileName;
    std::error_code ec;
    facts.writable = CanMakeFilesIn(folder);
    facts.othersCanWrite = OthersCanWrite(folder) || OthersCanWrite(beside);
    facts.hasSettings = std::filesystem::is_regular_file(beside, ec);
    facts.systemInstalled = UnderProgramFiles(folder);
    return facts;
}

SettingsPlace PrepareSettingsPlace(SettingsPlace place) {
    MakePrivateFolders(place.file.parent_path());
    std::error_code ec;
    if (place.startFrom.empty() || std::filesystem::exists(place.file, ec)) {
        return place;
    }
    // Copied as bytes, not as a file: the copy takes the rules of the per-user folder, never
    // the read-only mark or the access list of the shared install.
    std::string bytes;
    std::string error = ReadWholeFile(place.startFrom, bytes);
    if (error.empty()) {
        error = ReplaceFileAtomically(place.file, bytes, 0600);
    }
    if (!error.empty()) {
        place.why = "Cannot start from " + PathText(place.startFrom) + ": " + error;
    }
    return place;
}

std::filesystem::path AppDataFolder() {
    PWSTR known = nullptr;
    std::filesystem::path folder;
    if (SUCCEEDED(
            ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &known))) {
        folder = known;
    }
    ::CoTaskMemFree(known);
    if (folder.empty()) {
        std::wstring value(kLongestPath, L'\0');
        value.resize(::GetEnvironmentVariableW(L"APPDATA", value.data(), kLongestPath));
        folder = value;
    }
    return folder.is_absolute() ? folder : std::filesystem::path();
}

std::filesystem::path ProgramFilePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (size == 0) {
            return {};
        }
        if (size < path.size()) {
            path.resize(size);
            return path;
        }
        if (path.size() >= kLongestPath) {
            return {};  // never a cut path
        }
        path.resize(path.size() * 2);
    }
}

std::filesystem::path ProgramPathFor(const std::filesystem::path& programFile) {
    if (programFile.empty()) {
        return {};
    }
    return programFile.parent_path() / (programFile.stem().wstring() + L".EXE");
}

SettingsPlace SettingsPlaceNow() {
    const ProgramFolder folder = ProgramFolderAt(ProgramFilePath().parent_path());
    SettingsPlace place = SettingsPlaceFor(folder, AppDataFolder());
    return place.file.parent_path() == folder.path ? place : PrepareSettingsPlace(place);
}

}  // namespace reradav
