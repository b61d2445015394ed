#include "shell/linux/SettingsLocation.h"

#include <gtest/gtest.h>

#include "support/FakeEnvironment.h"

namespace reradav {

namespace fs = std::filesystem;
using test::Env;

TEST(SettingsLocation, BesideAPortableProgramElseInTheConfigHome) {
    const auto ann = Env({{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}});
    const std::tuple<const char*, bool, EnvLookup, const char*> rows[] = {
        {"/srv/usr", true, ann, "/srv/usr"},
        {"/opt/r", false, ann, "/cfg/reradav"},
        {"/opt/../usr/lib", true, ann, "/cfg/reradav"},
        {"", true, ann, "/cfg/reradav"},
        {"/usr", true, Env({{"HOME", "/h"}, {"XDG_CONFIG_HOME", "rel"}}), "/h/.config/reradav"},
        {"/usr/b", true, Env({{"HOME", "rel"}}), "/usr/b"}};
    for (const auto& [folder, writable, env, expected] : rows) {
        EXPECT_EQ(SettingsPathFor(folder, writable, env), fs::path(expected) / "default.vav");
    }
    EXPECT_EQ(SettingsPath(), ProgramPathFor().parent_path() / "default.vav") << "a portable build";
}

}  // namespace reradav
