#include "shell/linux/Autostart.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>

#include "support/TempFolder.h"

namespace reradav {
namespace {

namespace fs = std::filesystem;

// Runs the entry as the session does at logon, through GLib's launcher (which reads Exec as
// the desktops do), and waits until `done` appears.
bool LaunchEntry(const std::string& entry, const fs::path& done) {
    const bool launched = std::system(("gio launch '" + entry + "' 2>/dev/null").c_str()) == 0;
    for (int tenth = 0; launched && tenth < 100 && !fs::exists(done); ++tenth) {
        usleep(100'000);
    }
    return fs::exists(done);
}

// The entry starts the program once, with its switch, from a path a shell would mangle, and is
// gone before the program runs; removing it is idempotent; bad requests are refused.
TEST(Autostart, TheEntryStartsTheProgramOnceFromAnyPath) {
    if (std::system("command -v gio >/dev/null") != 0) {
        GTEST_SKIP() << "gio (libglib2.0-bin), the launcher, is missing";
    }
    test::TempFolder temp;
    const fs::path folder = temp / "my tools $HOME it's 100% `x` a\\b";
    fs::create_directories(folder);
    const fs::path program = folder / "reradav";
    test::WriteBytes(program,
                     "#!/bin/sh\n[ -e \"$ENTRY\" ] && exit 3\nprintf '%s' \"$*\" >\"$0.ran\"\n");
    fs::permissions(program, fs::perms::owner_all);
    const std::string config = (temp / "cfg").string();
    const std::string entry = config + "/autostart/reradav.desktop";
    setenv("ENTRY", entry.c_str(), 1);
    for (const std::string& args : {std::string(" /M"), std::string()}) {
        ASSERT_TRUE(RegisterStartup(true, program.string() + args, config));
        const fs::path ran = program.string() + ".ran";
        fs::remove(ran);
        EXPECT_TRUE(LaunchEntry(entry, ran)) << test::ReadBytes(entry);
        EXPECT_FALSE(fs::exists(entry));
        EXPECT_EQ(test::ReadBytes(ran), args.empty() ? "" : "/M");
    }
    EXPECT_TRUE(RegisterStartup(false, "", config) && RegisterStartup(false, "", config));
    EXPECT_FALSE(RegisterStartup(true, "/r", "") || RegisterStartup(true, "/r", "relative") ||
                 RegisterStartup(true, "", config));
}

}  // namespace
}  // namespace reradav
