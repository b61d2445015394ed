// The program's arguments: its own GNU-style options, and everything else left for the settings.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace reradav {
namespace {

using Action = CommandLine::Action;

CommandLine Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

TEST(CommandLine, NoArgumentsRunsTheWindowWithAnEmptyCommandLine) {
    const CommandLine parsed = Parse({});
    EXPECT_EQ(parsed.action, Action::Run);
    EXPECT_FALSE(parsed.headless);
    EXPECT_EQ(parsed.text, "");
}

TEST(CommandLine, OtherArgumentsAreTheCommandLineTextInOrder) {
    const CommandLine parsed = Parse({"/M", "-x", "two words", "-"});
    EXPECT_EQ(parsed.action, Action::Run);
    EXPECT_FALSE(parsed.headless);
    EXPECT_EQ(parsed.text, "/M -x two words -");
}

TEST(CommandLine, HeadlessIsAnOptionAndNotPartOfTheText) {
    const CommandLine parsed = Parse({"/M", "--headless"});
    EXPECT_EQ(parsed.action, Action::Run);
    EXPECT_TRUE(parsed.headless);
    EXPECT_EQ(parsed.text, "/M");
}

TEST(CommandLine, AnUnambiguousPrefixNamesAnOption) {
    EXPECT_TRUE(Parse({"--hea"}).headless);
    EXPECT_EQ(Parse({"--hel"}).action, Action::Help);
    EXPECT_EQ(Parse({"--v"}).action, Action::Version);
}

TEST(CommandLine, AnAmbiguousPrefixIsAUsageErrorNamingThePossibilities) {
    const CommandLine parsed = Parse({"--he"});
    EXPECT_EQ(parsed.action, Action::UsageError);
    EXPECT_NE(parsed.error.find("'--he' is ambiguous"), std::string::npos) << parsed.error;
    EXPECT_NE(parsed.error.find("'--headless'"), std::string::npos);
    EXPECT_NE(parsed.error.find("'--help'"), std::string::npos);
}

TEST(CommandLine, AnUnknownOptionIsAUsageErrorNamingIt) {
    const CommandLine parsed = Parse({"/M", "--minimised"});
    EXPECT_EQ(parsed.action, Action::UsageError);
    EXPECT_EQ(parsed.error, "unrecognized option '--minimised'");
    EXPECT_EQ(Parse({"--=x"}).action, Action::UsageError);
}

TEST(CommandLine, OptionsTakeNoValue) {
    const CommandLine parsed = Parse({"--headless=yes"});
    EXPECT_EQ(parsed.action, Action::UsageError);
    EXPECT_NE(parsed.error.find("'--headless' doesn't allow an argument"), std::string::npos)
        << parsed.error;
}

TEST(CommandLine, TheFirstOfHelpVersionOrAnErrorDecides) {
    EXPECT_EQ(Parse({"--headless", "--help", "--bogus"}).action, Action::Help);
    EXPECT_EQ(Parse({"--version", "--help"}).action, Action::Version);
    EXPECT_EQ(Parse({"--bogus", "--help"}).action, Action::UsageError);
}

TEST(CommandLine, DoubleDashMakesTheRestText) {
    const CommandLine parsed = Parse({"--", "--help", "--headless"});
    EXPECT_EQ(parsed.action, Action::Run);
    EXPECT_FALSE(parsed.headless);
    EXPECT_EQ(parsed.text, "--help --headless");
}

TEST(CommandLineTexts, UsageNamesEveryOptionAndStartsTheGnuWay) {
    const std::string usage = UsageText();
    EXPECT_EQ(usage.rfind("Usage: reradav ", 0), 0u);
    for (const char* option : {"/M", "--headless", "--help", "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(usage.back(), '\n');
}

TEST(CommandLineTexts, VersionIsTheNameAndNumberThenOneLine) {
    const std::string version = VersionText();
    ASSERT_EQ(version.rfind("reradav ", 0), 0u);
    const std::string first = version.substr(0, version.find('\n'));
    const std::string number = first.substr(8);
    EXPECT_FALSE(number.empty());
    EXPECT_EQ(number.find_first_not_of("0123456789."), std::string::npos) << first;
    const std::string rest = version.substr(first.size() + 1);
    EXPECT_FALSE(rest.empty());
    EXPECT_EQ(rest.find('\n'), rest.size() - 1) << "one more line";
}

TEST(CommandLineTexts, AUsageErrorNamesTheProgramAndPointsToHelp) {
    EXPECT_EQ(UsageErrorText("unrecognized option '--x'"),
              "reradav: unrecognized option '--x'\nTry 'reradav --help' for more information.\n");
}

}  // namespace
}  // namespace reradav
