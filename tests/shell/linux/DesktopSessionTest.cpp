// The desktop session adapters: the autostart entry, the settings location, the single instance.
#include <gtest/gtest.h>

#include "shell/linux/Autostart.h"
#include "shell/linux/SingleInstance.h"
#include "support/FakeEnvironment.h"
#include "support/TempFolder.h"

namespace reradav {
namespace {

namespace fs = std::filesystem;
using test::Env;

TEST(Autostart, RunOnceEntryRemovesItselfThenStartsTheProgram) {
    EXPECT_EQ(DesktopExecValue({"/usr/bin/r", "/M", "", "it's", "100%", "%f x"}),
              R"(/usr/bin/r /M "" "it's" 100%% "%%f x")");
    EXPECT_EQ(DesktopExecValue({"a\"b$x`c\\d", "a\nb\tc\rd"}),
              R"("a\\"b\\$x\\`c\\\\d" "a\nb\tc\rd")");
    test::TempFolder temp;
    const std::string config = (temp / "cfg").string();
    const std::string entry = config + "/autostart/reradav.desktop";
    ASSERT_TRUE(RegisterStartup(true, "/opt/my tools/reradav /M", config));
    EXPECT_EQ(test::ReadBytes(entry),
              "[Desktop Entry]\nType=Application\nName=Reradav\nComment=Starts Reradav once at "
              "this logon\n"
              R"(Exec=/bin/sh -c "rm -f -- \\"\\$0\\"; exec \\"\\$@\\"" )" +
                  entry + " \"/opt/my tools/reradav\" /M\nTerminal=false\nNoDisplay=true\n");
    ASSERT_TRUE(RegisterStartup(true, "/usr/bin/reradav", config));
    EXPECT_NE(test::ReadBytes(entry).find(entry + " /usr/bin/reradav\n"), std::string::npos);
    EXPECT_TRUE(RegisterStartup(false, "", config) && RegisterStartup(false, "", config));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(RegisterStartup(true, "/r", "") || RegisterStartup(true, "/r", "relative") ||
                 RegisterStartup(true, "", config));
}

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

TEST(SingleInstance, OneCopyAtATimeInAFolderOfThisUser) {
    EXPECT_EQ(InstanceLockPathFor(Env({{"XDG_RUNTIME_DIR", "/run/7"}}), 7), "/run/7/reradav.lock");
    EXPECT_EQ(InstanceLockPathFor(Env({{"XDG_RUNTIME_DIR", "r"}}), 7),
              "/tmp/reradav-7/reradav.lock");
    test::TempFolder temp;
    const std::string lock = (temp / "run/reradav.lock").string();
    std::string error;
    auto first = std::make_unique<SingleInstance>(lock);
    SingleInstance second(lock);
    EXPECT_EQ(first->Acquire(), SingleInstance::Result::Acquired);
    EXPECT_EQ(second.Acquire(&error), SingleInstance::Result::AlreadyRunning);
    EXPECT_EQ(error, "Another copy holds " + lock + ": Resource temporarily unavailable");
    first.reset();
    EXPECT_EQ(second.Acquire(), SingleInstance::Result::Acquired);
    fs::create_directory_symlink(temp / "run", temp / "link");  // planted in a shared /tmp
    EXPECT_EQ(SingleInstance((temp / "link/x").string()).Acquire(&error),
              SingleInstance::Result::Failed);
    EXPECT_EQ(error,
              (temp / "link").string() + " is not a folder of this user: Operation not permitted");
    EXPECT_EQ(SingleInstance(lock + "/x/y").Acquire(&error), SingleInstance::Result::Failed);
    EXPECT_EQ(error, "Cannot create " + lock + "/x: Not a directory");
}

}  // namespace
}  // namespace reradav
