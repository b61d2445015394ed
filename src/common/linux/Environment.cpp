#include "common/linux/Environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace reradav {
namespace {

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

std::optional<std::filesystem::path> AbsoluteValue(const EnvLookup& env, const char* name) {
    const auto value = env(name);
    if (!value || value->empty() || (*value)[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(*value);
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

}  // namespace reradav
