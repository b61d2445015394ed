#include "sim/SimOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reradav::sim {
namespace {

using Action = ParseResult::Action;
using std::chrono::milliseconds;

ParseResult Parse(std::vector<std::string> args) {
    return ParseSimArguments(args);
}

SimOptions Runs(std::vector<std::string> args) {
    ParseResult r = Parse(std::move(args));
    EXPECT_EQ(r.action, Action::kRun) << r.error;
    return r.options;
}

void ExpectError(std::vector<std::string> args, const std::string& part) {
    const ParseResult r = Parse(args);
    EXPECT_EQ(r.action, Action::kUsageError) << testing::PrintToString(args);
    EXPECT_NE(r.error.find(part), std::string::npos)
        << testing::PrintToString(args) << " gave: " << r.error;
}

TEST(SimOptionsDefaults, NineSixHundredBaudCrHalfASecond) {
    const ParseResult r = Parse({"123"});
    ASSERT_EQ(r.action, Action::kRun);
    EXPECT_EQ(r.options.baud, 9600u);
    EXPECT_EQ(r.options.suffix, Suffix::kCr);
    EXPECT_EQ(r.options.pause, milliseconds(500));
    EXPECT_TRUE(r.options.link.empty());
    EXPECT_FALSE(r.options.raw);
    EXPECT_FALSE(r.options.waitOpen);
    EXPECT_FALSE(r.options.timeout.has_value());
    EXPECT_EQ(r.options.codes, std::vector<std::string>{"123"});
    EXPECT_TRUE(r.warnings.empty());
}

TEST(SimOptionsDefaults, NoCodeMeansStandardInput) {
    EXPECT_TRUE(Runs({}).codes.empty());
    EXPECT_TRUE(Runs({"--baud", "1200"}).codes.empty());
}

TEST(SimOptionsValues, BaudInBothForms) {
    EXPECT_EQ(Runs({"--baud", "115200", "x"}).baud, 115200u);
    EXPECT_EQ(Runs({"--baud=300", "x"}).baud, 300u);
    EXPECT_EQ(Runs({"--baud=50"}).baud, 50u);
    EXPECT_EQ(Runs({"--baud=4000000"}).baud, 4000000u);
}

TEST(SimOptionsValues, EverySuffix) {
    EXPECT_EQ(Runs({"--suffix", "none"}).suffix, Suffix::kNone);
    EXPECT_EQ(Runs({"--suffix=cr"}).suffix, Suffix::kCr);
    EXPECT_EQ(Runs({"--suffix=crlf"}).suffix, Suffix::kCrLf);
    EXPECT_EQ(Runs({"--suffix", "tab"}).suffix, Suffix::kTab);
    EXPECT_EQ(SuffixBytes(Suffix::kNone), "");
    EXPECT_EQ(SuffixBytes(Suffix::kCr), "\r");
    EXPECT_EQ(SuffixBytes(Suffix::kCrLf), "\r\n");
    EXPECT_EQ(SuffixBytes(Suffix::kTab), "\t");
}

TEST(SimOptionsValues, PauseLinkWaitOpenTimeout) {
    EXPECT_EQ(Runs({"--pause", "750"}).pause, milliseconds(750));
    EXPECT_EQ(Runs({"--pause=200"}).pause, milliseconds(200));
    EXPECT_EQ(Runs({"--link", "/tmp/scanner"}).link, "/tmp/scanner");
    EXPECT_EQ(Runs({"--link=rel/ttyScan"}).link, "rel/ttyScan");
    const SimOptions o = Runs({"--wait-open", "--timeout", "2.5"});
    EXPECT_TRUE(o.waitOpen);
    EXPECT_EQ(o.timeout, milliseconds(2500));
    EXPECT_EQ(Runs({"--timeout=0.0001", "--wait-open"}).timeout, milliseconds(1));
    EXPECT_FALSE(Runs({"--wait-open"}).timeout.has_value());
}

TEST(SimOptionsValues, ShortPausesWarnButRun) {
    for (const char* pause : {"0", "150", "199"}) {
        const ParseResult r = Parse({std::string("--pause=") + pause, "a"});
        ASSERT_EQ(r.action, Action::kRun) << pause;
        EXPECT_EQ(r.options.pause, milliseconds(std::stoi(pause)));
        ASSERT_EQ(r.warnings.size(), 1u) << pause;
        EXPECT_NE(r.warnings[0].find("join"), std::string::npos);
    }
    EXPECT_TRUE(Parse({"--pause=200"}).warnings.empty());
}

TEST(SimOptionsText, CodesAreConvertedToWindows1252UnlessRaw) {
    EXPECT_EQ(Runs({"A\u20ac1", "\u00e9"}).codes, (std::vector<std::string>{"A\x80"
                                                                            "1",
                                                                            "\xe9"}));
    EXPECT_EQ(Runs({"--latin1", "\u2013"}).codes, std::vector<std::string>{"\x96"});
    EXPECT_EQ(Runs({"--raw", "A\u20ac1"}).codes, std::vector<std::string>{"A\xe2\x82\xac"
                                                                          "1"});
    EXPECT_EQ(Runs({"--raw", "\xff\x80"}).codes, std::vector<std::string>{"\xff\x80"});
    // The last of --raw and --latin1 wins.
    EXPECT_EQ(Runs({"--raw", "--latin1", "\u20ac"}).codes, std::vector<std::string>{"\x80"});
    EXPECT_TRUE(Runs({"--latin1", "--raw"}).raw);
}

TEST(SimOptionsText, CodesThatCannotBeSentAreUsageErrors) {
    ExpectError({"ok", "\u4e2d"}, "code 2");
    ExpectError({"\u4e2d"}, "not in Windows-1252");
    ExpectError({"\xff"}, "invalid UTF-8");
    ExpectError({"a", ""}, "code 2 is empty");
}

TEST(SimOptionsText, DoubleDashEndsOptions) {
    EXPECT_EQ(Runs({"--", "--baud", "-x"}).codes, (std::vector<std::string>{"--baud", "-x"}));
    EXPECT_EQ(Runs({"-", "a"}).codes, (std::vector<std::string>{"-", "a"}));
    const SimOptions o = Runs({"a", "--baud=1200", "b"});  // options may follow codes
    EXPECT_EQ(o.baud, 1200u);
    EXPECT_EQ(o.codes, (std::vector<std::string>{"a", "b"}));
}

TEST(SimOptionsActions, HelpAndVersionWinOverTheRest) {
    EXPECT_EQ(Parse({"--help"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"-h", "--bogus"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"x", "--version"}).action, Action::kVersion);
    EXPECT_NE(HelpText().find("Usage: reradav-sim"), std::string::npos);
    for (const char* option : {"--baud", "--suffix", "--pause", "--link", "--latin1", "--raw",
                               "--wait-open", "--timeout", "--help", "--version"}) {
        EXPECT_NE(HelpText().find(option), std::string::npos) << option;
    }
    EXPECT_EQ(VersionText().rfind("reradav-sim (Reradav) ", 0), 0u) << VersionText();
}

TEST(SimOptionsErrors, BadValues) {
    ExpectError({"--baud"}, "requires an argument");
    ExpectError({"--baud", "fast"}, "invalid line rate");
    ExpectError({"--baud=49"}, "invalid line rate");
    ExpectError({"--baud=4000001"}, "invalid line rate");
    ExpectError({"--baud=-9600"}, "invalid line rate");
    ExpectError({"--baud=9600x"}, "invalid line rate");
    ExpectError({"--baud="}, "invalid line rate");
    ExpectError({"--suffix=lf"}, "invalid suffix");
    ExpectError({"--suffix", "CR"}, "invalid suffix");
    ExpectError({"--pause=-1"}, "0 or more");
    ExpectError({"--pause=1.5"}, "invalid pause");
    ExpectError({"--pause"}, "requires an argument");
    ExpectError({"--link="}, "requires a path");
    ExpectError({"--wait-open", "--timeout=0"}, "invalid timeout");
    ExpectError({"--wait-open", "--timeout=-1"}, "invalid timeout");
    ExpectError({"--wait-open", "--timeout=nan"}, "invalid timeout");
    ExpectError({"--wait-open", "--timeout=2s"}, "invalid timeout");
    ExpectError({"--timeout=2"}, "needs '--wait-open'");
}

TEST(SimOptionsErrors, UnknownOptionsAndStrayArguments) {
    ExpectError({"--bogus"}, "unrecognized option '--bogus'");
    ExpectError({"-x"}, "unrecognized option '-x'");
    ExpectError({"--bau=9600"}, "unrecognized option");  // no abbreviations
    ExpectError({"--raw=yes"}, "doesn't allow an argument");
    ExpectError({"--wait-open=1"}, "doesn't allow an argument");
    ExpectError({"--help=me"}, "doesn't allow an argument");
}

}  // namespace
}  // namespace reradav::sim
