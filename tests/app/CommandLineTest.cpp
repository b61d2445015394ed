// The program's arguments: its own GNU-style options, and everything else left for the settings.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace reradav {
namespace {

// The parse as one line: the action, whether headless, the text, the error.
std::string Outcome(const std::vector<std::string>& args) {
    const CommandLine c = ParseCommandLine(args);
    const char* actions[] = {"run", "help", "version", "error"};
    return actions[static_cast<int>(c.action)] + std::string(c.headless ? " headless" : "") + " [" +
           c.text + "]" + (c.error.empty() ? "" : " " + c.error);
}

TEST(CommandLine, OptionsInOrderTheRestAsText) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{}, "run []"},
        {{"/M", "-x", "two words", "-"}, "run [/M -x two words -]"},
        {{"/M", "--headless", "a"}, "run headless [/M a]"},
        {{"--hea"}, "run headless []"},
        {{"--v", "--help"}, "version []"},
        {{"--", "--help", "--headless"}, "run [--help --headless]"},
        {{"--he"}, "error [] option '--he' is ambiguous; possibilities: '--headless' '--help'"},
        {{"/M", "--minimised", "--help"}, "error [/M] unrecognized option '--minimised'"},
        {{"--=x"}, "error [] unrecognized option '--=x'"},
        {{"--headless=yes"}, "error [] option '--headless' doesn't allow an argument"},
    };
    for (const auto& [args, expected] : rows) {
        EXPECT_EQ(Outcome(args), expected) << ::testing::PrintToString(args);
    }
    EXPECT_EQ(UsageErrorText("x"), "reradav: x\nTry 'reradav --help' for more information.\n");
}

}  // namespace
}  // namespace reradav
