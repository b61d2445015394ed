#pragma once

#include <map>
#include <optional>
#include <string>

#include "shell/linux/SettingsLocation.h"

namespace reradav::test {

// An environment holding just these variables.
inline EnvLookup Env(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> std::optional<std::string> {
        const auto found = values.find(name);
        if (found == values.end()) {
            return std::nullopt;
        }
        return found->second;
    };
}

}  // namespace reradav::test
