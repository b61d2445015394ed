#include "sim/SimOptions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "common/Utf8ToWindows1252.h"

namespace reradav::sim {
namespace {

constexpr unsigned kMinBaud = 50;
constexpr unsigned kMaxBaud = 4000000;
constexpr long long kMaxPauseMs = 24LL * 3600 * 1000;
// The wedge ends a read after a short silence; scans closer than this may be joined.
constexpr long long kJoinPauseMs = 200;

template <typename T>
std::optional<T> WholeNumber(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

bool IsFlag(const std::string& name) {
    return name == "--help" || name == "-h" || name == "--version" || name == "--raw" ||
           name == "--latin1" || name == "--wait-open";
}

bool TakesValue(const std::string& name) {
    return name == "--baud" || name == "--suffix" || name == "--pause" || name == "--link" ||
           name == "--timeout";
}

}  // namespace

std::optional<std::string> CodeBytes(const std::string& text, bool raw, std::string* error) {
    if (raw) {
        return text;
    }
    Windows1252Result converted = Utf8ToWindows1252(text);
    if (!converted.ok()) {
        *error = converted.error + " (use --raw to send bytes as given)";
        return std::nullopt;
    }
    return converted.bytes;
}

std::string SuffixBytes(Suffix suffix) {
    switch (suffix) {
        case Suffix::kNone:
            return "";
        case Suffix::kCr:
            return "\r";
        case Suffix::kCrLf:
            return "\r\n";
        case Suffix::kTab:
            return "\t";
    }
    return "";
}

ParseResult ParseSimArguments(const std::vector<std::string>& args) {
    ParseResult result;
    SimOptions& o = result.options;
    auto fail = [&result](std::string message) {
        result.action = ParseResult::Action::kUsageError;
        result.error = std::move(message);
        return result;
    };
    std::vector<std::string> texts;
    bool timeoutGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            texts.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (!IsFlag(name) && !TakesValue(name)) {
            return fail("unrecognized option '" + arg + "'");
        }
        if (TakesValue(name)) {
            if (!value) {
                if (i + 1 >= args.size()) {
                    return fail("option '" + name + "' requires an argument");
                }
                value = args[++i];
            }
        } else if (value) {
            return fail("option '" + name + "' doesn't allow an argument");
        }

        if (name == "--help" || name == "-h") {
            result.action = ParseResult::Action::kHelp;
            return result;
        } else if (name == "--version") {
            result.action = ParseResult::Action::kVersion;
            return result;
        } else if (name == "--baud") {
            const auto baud = WholeNumber<unsigned>(*value);
            if (!baud || *baud < kMinBaud || *baud > kMaxBaud) {
                return fail("invalid line rate '" + *value + "': a whole number from " +
                            std::to_string(kMinBaud) + " to " + std::to_string(kMaxBaud));
            }
            o.baud = *baud;
        } else if (name == "--suffix") {
            if (*value == "none") {
                o.suffix = Suffix::kNone;
            } else if (*value == "cr") {
                o.suffix = Suffix::kCr;
            } else if (*value == "crlf") {
                o.suffix = Suffix::kCrLf;
            } else if (*value == "tab") {
                o.suffix = Suffix::kTab;
            } else {
                return fail("invalid suffix '" + *value + "': none, cr, crlf or tab");
            }
        } else if (name == "--pause") {
            const auto ms = WholeNumber<long long>(*value);
            if (!ms || *ms < 0 || *ms > kMaxPauseMs) {
                return fail("invalid pause '" + *value +
                            "': a whole number of milliseconds, 0 or more");
            }
            o.pause = std::chrono::milliseconds(*ms);
        } else if (name == "--link") {
            if (value->empty()) {
                return fail("option '--link' requires a path");
            }
            o.link = *value;
        } else if (name == "--timeout") {
            char* end = nullptr;
            const double seconds = std::strtod(value->c_str(), &end);
            if (value->empty() || end != value->c_str() + value->size() ||
                !std::isfinite(seconds) || seconds <= 0 || seconds > 1e6) {
                return fail("invalid timeout '" + *value + "': seconds, more than 0");
            }
            o.timeout =
                std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
            timeoutGiven = true;
        } else if (name == "--raw") {
            o.raw = true;
        } else if (name == "--latin1") {
            o.raw = false;
        } else if (name == "--wait-open") {
            o.waitOpen = true;
        } else {
            return fail("unrecognized option '" + arg + "'");
        }
    }
    if (timeoutGiven && !o.waitOpen) {
        return fail("option '--timeout' needs '--wait-open'");
    }
    for (std::size_t n = 0; n < texts.size(); ++n) {
        if (texts[n].empty()) {
            return fail("code " + std::to_string(n + 1) + " is empty");
        }
        std::string error;
        auto bytes = CodeBytes(texts[n], o.raw, &error);
        if (!bytes) {
            return fail("code " + std::to_string(n + 1) + ": " + error);
        }
        o.codes.push_back(std::move(*bytes));
    }
    if (o.pause.count() < kJoinPauseMs) {
        result.warnings.push_back("a pause of " + std::to_string(o.pause.count()) +
                                  " ms is under " + std::to_string(kJoinPauseMs) +
                                  " ms: the wedge may join scans that close into one read");
    }
    return result;
}

std::string HelpText() {
    return R"(Usage: reradav-sim [OPTION]... [CODE]...
Simulate a bar-code scanner on a serial line: create a pseudo-terminal, print its
path, and send each CODE as one scan (with no CODE, each line of standard input).
Bytes are paced at the line rate, scans are separated by a pause.

  --baud=N           line rate in baud, 10 bits a byte (default 9600)
  --suffix=SUFFIX    sent after each code: none, cr, crlf or tab (default cr)
  --pause=MS         silence between scans in milliseconds (default 500); the
                       wedge may join scans closer than 150-200 ms
  --link=PATH        also make PATH a symbolic link to the terminal, removed at
                       exit; an existing file that is not a link is never replaced
  --latin1           codes are UTF-8 text, sent as Windows-1252 bytes (default)
  --raw              codes are sent as the bytes given
  --wait-open        send nothing until another program opens the terminal
  --timeout=S        with --wait-open: give up after S seconds (exit status 1)
  -h, --help         display this help and exit
      --version      output version information and exit

Exit status: 0 when every scan was sent and read, 1 on a failure while running,
2 on a bad option or a code that cannot be sent.

Example: reradav-sim --link /tmp/scanner --wait-open 4006381333931 'ABC-€12'
)";
}

std::string VersionText() {
    return std::string("reradav-sim (Reradav) ") + RERADAV_VERSION + "\n";
}

}  // namespace reradav::sim
