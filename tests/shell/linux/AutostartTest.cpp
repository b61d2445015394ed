#include "shell/linux/Autostart.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/DesktopEntryParser.h"
#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

namespace fs = std::filesystem;
using test::DesktopEntryCommand;
using test::DesktopEntryRawValue;
using test::ParseDesktopExec;
using test::UnescapeDesktopString;
using ::testing::ElementsAre;
using ::testing::StartsWith;

// Arguments with every character the Desktop Entry rules treat specially.
const std::vector<std::string> kAwkwardArguments = {
    "/opt/my tools/reradav",
    "it's",
    "say \"hi\"",
    "C:\\path\\",
    "$HOME and ${x}",
    "`date`",
    "100% %f %%",
    "a;b|c&d<e>f",
    "~/*?#()",
    "tab\there",
    "new\nline",
    "cr\rhere",
    "",
    "=plain-_.,:+@!",
};

std::vector<std::string> ParsedExecValue(const std::string& value) {
    const auto unescaped = UnescapeDesktopString(value);
    EXPECT_TRUE(unescaped.has_value()) << value;
    const auto args = ParseDesktopExec(unescaped.value_or(""));
    EXPECT_TRUE(args.has_value()) << value;
    return args.value_or(std::vector<std::string>{});
}

std::vector<std::string> EntryCommand(const fs::path& entry) {
    const auto command = DesktopEntryCommand(ReadBytes(entry));
    EXPECT_TRUE(command.has_value()) << ReadBytes(entry);
    return command.value_or(std::vector<std::string>{});
}

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& file : fs::directory_iterator(folder)) {
        names.push_back(file.path().filename().string());
    }
    return names;
}

TEST(DesktopExecValue, QuotesOnlyWhatTheRulesAskFor) {
    EXPECT_EQ(DesktopExecValue({"/usr/bin/reradav", "/M"}), "/usr/bin/reradav /M");
    EXPECT_EQ(DesktopExecValue({"/opt/my tools/reradav"}), "\"/opt/my tools/reradav\"");
    EXPECT_EQ(DesktopExecValue({"it's"}), "\"it's\"");
    EXPECT_EQ(DesktopExecValue({""}), "\"\"");
}

TEST(DesktopExecValue, EscapesInsideQuotesThenAsAStringValue) {
    // Inside quotes \" \` \$ \\; then every backslash doubled by the string escapes.
    EXPECT_EQ(DesktopExecValue({"a\"b"}), "\"a\\\\\"b\"");
    EXPECT_EQ(DesktopExecValue({"$x"}), "\"\\\\$x\"");
    EXPECT_EQ(DesktopExecValue({"`x`"}), "\"\\\\`x\\\\`\"");
    EXPECT_EQ(DesktopExecValue({"a\\b"}), "\"a\\\\\\\\b\"");
    EXPECT_EQ(DesktopExecValue({"a\nb"}), "\"a\\nb\"");
    EXPECT_EQ(DesktopExecValue({"a\tb"}), "\"a\\tb\"");
}

TEST(DesktopExecValue, DoublesPercentSigns) {
    EXPECT_EQ(DesktopExecValue({"100%"}), "100%%");
    EXPECT_EQ(DesktopExecValue({"%f x"}), "\"%%f x\"");
}

TEST(DesktopExecValue, ReadsBackAsTheSameArguments) {
    EXPECT_EQ(ParsedExecValue(DesktopExecValue(kAwkwardArguments)), kAwkwardArguments);
    for (const auto& argument : kAwkwardArguments) {
        EXPECT_THAT(ParsedExecValue(DesktopExecValue({argument})), ElementsAre(argument));
    }
}

// The reader must be strict, or the round trip above would pass entries a desktop rejects.
TEST(DesktopEntryParser, RejectsWhatTheRulesForbid) {
    EXPECT_FALSE(ParseDesktopExec("/opt/a$b"));
    EXPECT_FALSE(ParseDesktopExec("it's"));
    EXPECT_FALSE(ParseDesktopExec("a\"b c\""));
    EXPECT_FALSE(ParseDesktopExec("\"open"));
    EXPECT_FALSE(ParseDesktopExec("\"a\\nb\""));
    EXPECT_FALSE(ParseDesktopExec("prog %f"));
    EXPECT_FALSE(ParseDesktopExec("100%"));
    EXPECT_FALSE(UnescapeDesktopString("\\\""));
    EXPECT_FALSE(ParseDesktopExec("c\\d"));
    EXPECT_THAT(ParseDesktopExec("\"a \\\"b\\\"\" 5%%").value(), ElementsAre("a \"b\"", "5%"));
}

TEST(RegisterStartup, WritesAnEntryThatRemovesItselfThenStartsTheProgram) {
    TempFolder temp;
    const std::string config = (temp / "config").string();
    ASSERT_TRUE(RegisterStartup(true, "/opt/my tools/reradav", config));

    const fs::path entry = temp / "config/autostart/reradav.desktop";
    EXPECT_EQ(AutostartEntryPath(config), entry.string());
    const std::string contents = ReadBytes(entry);
    EXPECT_THAT(contents, StartsWith("[Desktop Entry]\n"));
    EXPECT_EQ(DesktopEntryRawValue(contents, "Type"), "Application");
    EXPECT_EQ(DesktopEntryRawValue(contents, "Name"), "Reradav");
    const auto command = EntryCommand(entry);
    ASSERT_EQ(command.size(), 5u);
    EXPECT_EQ(command[0], "/bin/sh");
    EXPECT_EQ(command[1], "-c");
    EXPECT_EQ(command[3], entry.string());
    EXPECT_EQ(command[4], "/opt/my tools/reradav");
}

TEST(RegisterStartup, MinimisedSwitchBecomesAnArgumentOfItsOwn) {
    TempFolder temp;
    ASSERT_TRUE(RegisterStartup(true, "/opt/my tools/reradav /M", temp.path().string()));
    const auto command = EntryCommand(temp / "autostart/reradav.desktop");
    ASSERT_EQ(command.size(), 6u);
    EXPECT_EQ(command[4], "/opt/my tools/reradav");
    EXPECT_EQ(command[5], "/M");
}

TEST(RegisterStartup, CreatesMissingFoldersPrivate) {
    TempFolder temp;
    const fs::path config = temp / "home/.config";
    ASSERT_TRUE(RegisterStartup(true, "/usr/bin/reradav", config.string()));
    struct stat info {};
    ASSERT_EQ(::stat(config.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((config / "autostart/reradav.desktop").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(RegisterStartup, ReplacesAnEarlierEntryLeavingNoTemporaryFile) {
    TempFolder temp;
    ASSERT_TRUE(RegisterStartup(true, "/usr/bin/reradav /M", temp.path().string()));
    ASSERT_TRUE(RegisterStartup(true, "/usr/bin/reradav", temp.path().string()));
    EXPECT_EQ(EntryCommand(temp / "autostart/reradav.desktop").size(), 5u);
    EXPECT_THAT(NamesIn(temp / "autostart"), ElementsAre("reradav.desktop"));
}

TEST(RegisterStartup, AFailedWriteCleansUpAndSaysSo) {
    TempFolder temp;
    // A folder where the entry belongs: the rename over it fails.
    fs::create_directories(temp / "autostart/reradav.desktop");
    EXPECT_FALSE(RegisterStartup(true, "/usr/bin/reradav", temp.path().string()));
    EXPECT_THAT(NamesIn(temp / "autostart"), ElementsAre("reradav.desktop"));
}

TEST(RegisterStartup, RemovingDeletesOnlyTheEntry) {
    TempFolder temp;
    ASSERT_TRUE(RegisterStartup(true, "/usr/bin/reradav", temp.path().string()));
    WriteBytes(temp / "autostart/other.desktop", "[Desktop Entry]\n");
    EXPECT_TRUE(RegisterStartup(false, "/usr/bin/reradav", temp.path().string()));
    EXPECT_FALSE(fs::exists(temp / "autostart/reradav.desktop"));
    EXPECT_TRUE(fs::exists(temp / "autostart/other.desktop"));
}

TEST(RegisterStartup, RemovingAMissingEntryIsFine) {
    TempFolder temp;
    EXPECT_TRUE(RegisterStartup(false, "/usr/bin/reradav", temp.path().string()));
    EXPECT_FALSE(fs::exists(temp / "autostart"));
}

TEST(RegisterStartup, NeedsAnAbsoluteConfigFolderAndAProgram) {
    TempFolder temp;
    EXPECT_FALSE(RegisterStartup(true, "/usr/bin/reradav", ""));
    EXPECT_FALSE(RegisterStartup(true, "/usr/bin/reradav", "relative/config"));
    EXPECT_FALSE(RegisterStartup(true, "", temp.path().string()));
    EXPECT_FALSE(fs::exists(temp / "autostart"));
    EXPECT_FALSE(fs::exists("relative"));
}

}  // namespace
}  // namespace reradav
