#pragma once

#include <map>

#include "common/linux/Environment.h"

namespace reradav::test {

// An environment holding just these variables.
inline EnvLookup Env(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> std::optional<std::string> {
        const auto found = values.find(name);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    };
}

}  // namespace reradav::test
