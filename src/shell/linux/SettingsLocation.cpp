#include "shell/linux/SettingsLocation.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <system_error>
#include <vector>

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

std::optional<std::filesystem::path> AbsoluteValue(const EnvLookup& env, const char* name) {
    const auto value = env(name);
    if (!value || value->empty() || (*value)[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(*value);
}

std::optional<std::string> HomeFromUserDatabase() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return std::nullopt;
    }
    return std::string(found->pw_dir);
}

}  // namespace

EnvLookup UserEnvironment() {
    return [](const char* name) -> std::optional<std::string> {
        if (const char* value = std::getenv(name)) {
            return std::string(value);
        }
        if (std::string_view(name) == "HOME") {
            return HomeFromUserDatabase();
        }
        return std::nullopt;
    };
}

std::filesystem::path ConfigHomeFor(const EnvLookup& env) {
    if (auto configHome = AbsoluteValue(env, "XDG_CONFIG_HOME")) {
        return *configHome;
    }
    if (auto home = AbsoluteValue(env, "HOME")) {
        return *home / ".config";
    }
    return {};
}

std::filesystem::path ConfigHome() {
    return ConfigHomeFor(UserEnvironment());
}

std::filesystem::path SettingsPathFor(const std::filesystem::path& programFolder,
                                      bool programFolderWritable, const EnvLookup& env) {
    const bool portable =
        programFolderWritable && !programFolder.empty() && !UnderUsr(programFolder);
    if (!portable) {
        const std::filesystem::path configHome = ConfigHomeFor(env);
        if (!configHome.empty()) {
            return configHome / "reradav" / kSettingsFileName;
        }
    }
    return programFolder / kSettingsFileName;
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

std::filesystem::path SettingsPath() {
    const std::filesystem::path folder = ProgramPathFor().parent_path();
    const bool writable = !folder.empty() && ::access(folder.c_str(), W_OK) == 0;
    const std::filesystem::path path = SettingsPathFor(folder, writable, UserEnvironment());
    if (path.parent_path() != folder) {
        MakePrivateFolders(path.parent_path());
    }
    return path;
}

}  // namespace reradav
