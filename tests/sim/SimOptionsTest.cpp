#include "sim/SimOptions.h"

#include <gtest/gtest.h>

namespace reradav::sim {
namespace {

// The whole outcome as one line: help, version or the error, or every option (the suffix as
// its bytes), whether it warned, and the codes.
std::string Outcome(const ParseResult& r) {
    const char* actions[] = {"", "help", "version", "error: "};
    if (r.action != ParseResult::Action::kRun) {
        return actions[static_cast<int>(r.action)] + r.error;
    }
    const SimOptions& o = r.options;
    std::string s = std::to_string(o.baud) + SuffixBytes(o.suffix) + " " +
                    std::to_string(o.pause.count()) + "ms" +
                    (o.link.empty() ? "" : " link=" + o.link) + (o.raw ? " raw" : "") +
                    (o.waitOpen ? " wait" : "") +
                    (o.timeout ? " timeout=" + std::to_string(o.timeout->count()) : "") +
                    (r.warnings.empty() ? "" : " warn") + " codes:";
    for (const std::string& code : o.codes) {
        s += " " + code;
    }
    return s;
}

TEST(SimOptions, EveryOptionItsBoundsAndErrors) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"123"}, "9600\r 500ms codes: 123"},
        {{"--baud", "115200", "x", "--baud=300", "--suffix", "none", "--pause", "200"},
         "300 200ms codes: x"},
        {{"--baud=50", "--suffix=tab", "--suffix=crlf", "--pause=199"}, "50\r\n 199ms warn codes:"},
        {{"--baud=4000000", "--suffix=crlf", "--suffix=cr", "--pause=0"},
         "4000000\r 0ms warn codes:"},
        {{"--suffix", "tab", "--pause=86400000", "--link", "/tmp/s", "--wait-open", "--timeout",
          "2.5"},
         "9600\t 86400000ms link=/tmp/s wait timeout=2500 codes:"},
        {{"--wait-open", "--timeout=1e6"}, "9600\r 500ms wait timeout=1000000000 codes:"},
        {{"A\u20ac!", "\u00e9"}, "9600\r 500ms codes: A\x80! \xe9"},
        {{"--raw", "A\u20ac"}, "9600\r 500ms raw codes: A\u20ac"},
        {{"--raw", "--latin1", "\u2013"}, "9600\r 500ms codes: \x96"},
        {{"-", "--", "--baud", "-x"}, "9600\r 500ms codes: - --baud -x"},
        {{"-h", "--bogus"}, "help"},
        {{"x", "--version", "--help"}, "version"},
        {{"--baud=49"}, "error: invalid line rate '49'"},
        {{"--baud=9600x"}, "error: invalid line rate"},
        {{"--baud"}, "error: option '--baud' requires an argument"},
        {{"--suffix=CR"}, "error: invalid suffix 'CR'"},
        {{"--link="}, "error: option '--link' requires a path"},
        {{"--wait-open", "--timeout=1000001"}, "error: invalid timeout"},
        {{"--wait-open", "--timeout=0"}, "error: invalid timeout"},
        {{"--wait-open", "--timeout=nan"}, "error: invalid timeout"},
        {{"--wait-open", "--timeout=2s"}, "error: invalid timeout"},
        {{"--timeout=2"}, "error: option '--timeout' needs '--wait-open'"},
        {{"ok", "\u4e2d"}, "error: code 2: "},
        {{"a", ""}, "error: code 2 is empty"},
        {{"--bogus", "--help"}, "error: unrecognized option '--bogus'"},
        {{"--raw=yes"}, "error: option '--raw' doesn't allow an argument"},
    };
    for (const auto& [args, expected] : rows) {  // an error up to where the row ends
        EXPECT_EQ(Outcome(ParseSimArguments(args)).substr(0, expected.size()), expected)
            << ::testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace reradav::sim
