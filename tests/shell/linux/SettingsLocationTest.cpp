#include "common/Files.h"
#include "shell/linux/SettingsLocation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "support/FakeEnvironment.h"
#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

namespace fs = std::filesystem;

using test::Env;

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

const EnvLookup kUserEnv = Env({{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/home/ann/cfg"}});

TEST(SettingsPathFor, PortableInstallKeepsTheFileBesideTheProgram) {
    EXPECT_EQ(SettingsPathFor("/opt/reradav", true, kUserEnv), "/opt/reradav/default.vav");
    EXPECT_EQ(SettingsPathFor("/home/ann/scanner tools", true, kUserEnv),
              "/home/ann/scanner tools/default.vav");
    // Only the folder named usr counts, not a name that starts with it.
    EXPECT_EQ(SettingsPathFor("/usrlocal/bin", true, kUserEnv), "/usrlocal/bin/default.vav");
    EXPECT_EQ(SettingsPathFor("/srv/usr/bin", true, kUserEnv), "/srv/usr/bin/default.vav");
}

TEST(SettingsPathFor, ReadOnlyProgramFolderUsesTheConfigFolder) {
    EXPECT_EQ(SettingsPathFor("/opt/reradav", false, kUserEnv),
              "/home/ann/cfg/reradav/default.vav");
}

TEST(SettingsPathFor, InstalledUnderUsrUsesTheConfigFolderEvenWhenWritable) {
    // Root can write /usr/bin; a settings file there would be shared by every user.
    for (const char* folder :
         {"/usr/bin", "/usr/local/bin", "/usr", "/usr/", "/opt/../usr/lib/reradav"}) {
        EXPECT_EQ(SettingsPathFor(folder, true, kUserEnv), "/home/ann/cfg/reradav/default.vav")
            << folder;
    }
}

TEST(SettingsPathFor, ConfigFolderFollowsTheXdgRules) {
    EXPECT_EQ(SettingsPathFor("/usr/bin", true, Env({{"HOME", "/home/bob"}})),
              "/home/bob/.config/reradav/default.vav");
    EXPECT_EQ(
        SettingsPathFor("/usr/bin", true, Env({{"HOME", "/home/bob"}, {"XDG_CONFIG_HOME", ""}})),
        "/home/bob/.config/reradav/default.vav");
    // Relative values are invalid and ignored.
    EXPECT_EQ(
        SettingsPathFor("/usr/bin", true, Env({{"HOME", "/home/bob"}, {"XDG_CONFIG_HOME", "cfg"}})),
        "/home/bob/.config/reradav/default.vav");
}

TEST(SettingsPathFor, WithoutAnyHomeTheProgramFolderIsTheLastResort) {
    EXPECT_EQ(SettingsPathFor("/usr/bin", false, Env({})), "/usr/bin/default.vav");
    EXPECT_EQ(SettingsPathFor("/opt/r", false, Env({{"HOME", "relative"}})), "/opt/r/default.vav");
}

TEST(ConfigHomeFor, PrefersXdgConfigHomeOverHome) {
    EXPECT_EQ(ConfigHomeFor(kUserEnv), "/home/ann/cfg");
    EXPECT_EQ(ConfigHomeFor(Env({{"HOME", "/root"}})), "/root/.config");
    EXPECT_EQ(ConfigHomeFor(Env({})), "");
}

TEST(UserEnvironment, ReadsTheRealEnvironment) {
    ::setenv("RERADAV_LOCATION_TEST", "value 1", 1);
    EXPECT_EQ(UserEnvironment()("RERADAV_LOCATION_TEST"), "value 1");
    ::unsetenv("RERADAV_LOCATION_TEST");
    EXPECT_EQ(UserEnvironment()("RERADAV_LOCATION_TEST"), std::nullopt);
}

TEST(UserEnvironment, HomeComesFromTheUserDatabaseWhenUnset) {
    const char* saved = std::getenv("HOME");
    const std::string home = saved != nullptr ? saved : "";
    ::unsetenv("HOME");
    const auto found = UserEnvironment()("HOME");
    if (saved != nullptr) {
        ::setenv("HOME", home.c_str(), 1);
    }
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(fs::path(*found).is_absolute()) << *found;
}

TEST(MakeSettingsFolder, CreatesMissingFoldersPrivateWhateverTheUmask) {
    TempFolder temp;
    const mode_t oldMask = ::umask(0);
    const bool made = MakePrivateFolders(temp / "config/reradav");
    ::umask(oldMask);
    ASSERT_TRUE(made);
    EXPECT_EQ(ModeOf(temp / "config"), 0700u);
    EXPECT_EQ(ModeOf(temp / "config/reradav"), 0700u);
    EXPECT_FALSE(fs::exists(temp / "config/reradav/default.vav"));
}

TEST(MakeSettingsFolder, LeavesExistingFoldersAsTheyAre) {
    TempFolder temp;
    fs::create_directory(temp / "config");
    ::chmod((temp / "config").c_str(), 0755);
    ASSERT_TRUE(MakePrivateFolders(temp / "config/reradav"));
    EXPECT_EQ(ModeOf(temp / "config"), 0755u);
    EXPECT_EQ(ModeOf(temp / "config/reradav"), 0700u);
    EXPECT_TRUE(MakePrivateFolders(temp / "config/reradav"));
}

TEST(MakeSettingsFolder, FailsWhenAFileStandsInTheWay) {
    TempFolder temp;
    WriteBytes(temp / "config", "not a folder");
    EXPECT_FALSE(MakePrivateFolders(temp / "config/reradav"));
}

TEST(ProgramPathFor, FollowsTheExecutableLink) {
    TempFolder temp;
    const fs::path program = temp / "my tools/reradav";
    fs::create_directory(temp / "my tools");
    WriteBytes(program, "");
    fs::create_symlink(program, temp / "exe");
    EXPECT_EQ(ProgramPathFor(temp / "exe"), program);
}

TEST(ProgramPathFor, AProgramReplacedWhileRunningGivesItsPath) {
    TempFolder temp;
    fs::create_symlink("/opt/reradav/reradav (deleted)", temp / "exe");
    EXPECT_EQ(ProgramPathFor(temp / "exe"), "/opt/reradav/reradav");
}

TEST(ProgramPathFor, UnreadableLinkGivesEmpty) {
    TempFolder temp;
    EXPECT_EQ(ProgramPathFor(temp / "missing"), "");
}

TEST(ProgramPathFor, ThisProcessIsTheTestProgram) {
    const fs::path self = ProgramPathFor();
    EXPECT_TRUE(self.is_absolute());
    EXPECT_EQ(self.filename(), "linux_tests");
    EXPECT_TRUE(fs::is_regular_file(self));
}

// The build folder is a writable folder outside /usr: a portable install.
TEST(SettingsPath, TheTestProgramRunsAsAPortableInstall) {
    const fs::path folder = ProgramPathFor().parent_path();
    ASSERT_EQ(::access(folder.c_str(), W_OK), 0) << folder;
    EXPECT_EQ(SettingsPath(), folder / "default.vav");
}

}  // namespace
}  // namespace reradav
