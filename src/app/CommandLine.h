#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace reradav {

// What the arguments ask for. GNU-style long options are the program's own; anything else
// (such as "/M") is the command line text the settings load looks at, as on Windows.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };

    Action action = Action::Run;
    bool headless = false;
    // The arguments that are not options, joined by single blanks.
    std::string text;
    // With UsageError: what is wrong, as one sentence without the program name.
    std::string error;
};

// Options are taken in order: --help or --version ends the parse, as does an unknown or
// ambiguous option; an unambiguous prefix names an option ("--head"); "--" makes the rest
// plain arguments. `args` excludes the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// For standard output.
std::string UsageText();
std::string VersionText();
// For standard error after a usage error.
std::string UsageErrorText(const std::string& error);

// Answers --help, --version and a usage error on `out` or `err`, and gives the exit status;
// nullopt when the program is to run.
std::optional<int> AnswerCommandLine(const CommandLine& parsed, std::ostream& out,
                                     std::ostream& err);

}  // namespace reradav
