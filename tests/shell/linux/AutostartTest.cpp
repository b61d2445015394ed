#include "shell/linux/Autostart.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace reradav {

namespace fs = std::filesystem;

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

}  // namespace reradav
