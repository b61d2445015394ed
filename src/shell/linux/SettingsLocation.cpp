#include "shell/linux/SettingsLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <system_error>

#include "common/Files.h"

namespace reradav {
namespace {

constexpr std::string_view kSettingsFileName = "default.vav";
constexpr std::string_view kDeletedSuffix = " (deleted)";

// Installed by the system's package manager: its folders are not the user's even when root can
// write them.
bool UnderUsr(const std::filesystem::path& folder) {
    const std::filesystem::path normal = folder.lexically_normal();
    auto part = normal.begin();
    return part != normal.end() && *part == "/" && ++part != normal.end() && *part == "usr";
}

// A missing path is no one's.
bool OthersCanWrite(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    return (status.st_uid != ::getuid() && status.st_uid != 0) ||
           (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

}  // namespace

SettingsPlace SettingsPlaceFor(const ProgramFolder& folder, const EnvLookup& env) {
    ProgramFolder facts = folder;
    facts.systemInstalled = UnderUsr(folder.path);
    const std::filesystem::path configHome = ConfigHomeFor(env);
    return ChooseSettingsPlace(facts, configHome.empty() ? configHome : configHome / "reradav");
}

std::filesystem::path ProgramPathFor(const std::filesystem::path& exeLink) {
    std::error_code ec;
    std::string target = std::filesystem::read_symlink(exeLink, ec).string();
    if (ec) {
        return {};
    }
    if (target.ends_with(kDeletedSuffix)) {
        target.resize(target.size() - kDeletedSuffix.size());
    }
    return target;
}

SettingsPlace PrepareSettingsPlace(SettingsPlace place,
                                   const std::filesystem::path& programFolder) {
    std::error_code ec;
    if (place.file.parent_path() != programFolder) {
        MakePrivateFolders(place.file.parent_path());
    }
    if (!place.startFrom.empty() && !std::filesystem::exists(place.file, ec)) {
        // Checked after each step: a failed copy must not be reported as the chmod's error.
        if (std::filesystem::copy_file(place.startFrom, place.file, ec); !ec) {
            std::filesystem::permissions(
                place.file,
                std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
        }
        if (ec) {
            place.why = "Cannot start from " + place.startFrom.string() + ": " + ec.message();
        }
    }
    return place;
}

SettingsPlace SettingsPlaceNow() {
    ProgramFolder folder{ProgramPathFor().parent_path()};
    const std::filesystem::path beside = folder.path / kSettingsFileName;
    std::error_code ec;
    folder.writable = !folder.path.empty() && ::access(folder.path.c_str(), W_OK) == 0;
    folder.othersCanWrite = OthersCanWrite(folder.path) || OthersCanWrite(beside);
    folder.hasSettings = std::filesystem::is_regular_file(beside, ec);
    return PrepareSettingsPlace(SettingsPlaceFor(folder, UserEnvironment()), folder.path);
}

}  // namespace reradav
