#pragma once

#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace reradav::test {

// Reads desktop entries the way a desktop does, strictly by the Desktop Entry rules, so that an
// entry a desktop would reject or misread fails the test.

// Undoes the escapes of a string value: \s \n \t \r \\; any other escape is an error.
inline std::optional<std::string> UnescapeDesktopString(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        switch (value[i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

// The raw value of `key` in the [Desktop Entry] group; nullopt when missing.
inline std::optional<std::string> DesktopEntryRawValue(const std::string& contents,
                                                       const std::string& key) {
    std::istringstream lines(contents);
    bool inGroup = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inGroup || equals == std::string::npos) {
            continue;
        }
        std::string name = line.substr(0, equals);
        while (!name.empty() && name.back() == ' ') {
            name.pop_back();
        }
        if (name == key) {
            std::size_t start = equals + 1;
            while (start < line.size() && line[start] == ' ') {
                ++start;
            }
            return line.substr(start);
        }
    }
    return std::nullopt;
}

// Splits an Exec value whose string escapes are already undone into its arguments: quoting
// undone first, then the field codes (only %% is expected here). nullopt when the value breaks
// a rule: a reserved character outside quotes, a quote inside an unquoted argument, an escape
// inside quotes of anything but " ` $ \, an open quote, a lone % or another field code.
inline std::optional<std::vector<std::string>> ParseDesktopExec(std::string_view exec) {
    constexpr std::string_view kReserved = "\t\n\"'\\><~|&;$*?#()`";
    constexpr std::string_view kEscapable = "\"`$\\";
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    std::size_t i = 0;
    while (i < exec.size()) {
        const char c = exec[i];
        if (c == ' ') {
            if (inArgument) {
                args.push_back(current);
                current.clear();
                inArgument = false;
            }
            ++i;
        } else if (c == '"') {
            if (inArgument) {
                return std::nullopt;
            }
            inArgument = true;
            bool closed = false;
            for (++i; i < exec.size();) {
                if (exec[i] == '\\') {
                    if (i + 1 == exec.size() ||
                        kEscapable.find(exec[i + 1]) == std::string_view::npos) {
                        return std::nullopt;
                    }
                    current += exec[i + 1];
                    i += 2;
                } else if (exec[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    current += exec[i++];
                }
            }
            if (!closed || (i < exec.size() && exec[i] != ' ')) {
                return std::nullopt;
            }
        } else if (kReserved.find(c) != std::string_view::npos) {
            return std::nullopt;
        } else {
            current += c;
            inArgument = true;
            ++i;
        }
    }
    if (inArgument) {
        args.push_back(current);
    }
    for (auto& arg : args) {
        std::string expanded;
        for (std::size_t j = 0; j < arg.size(); ++j) {
            if (arg[j] == '%') {
                if (j + 1 == arg.size() || arg[j + 1] != '%') {
                    return std::nullopt;
                }
                ++j;
            }
            expanded += arg[j];
        }
        arg = expanded;
    }
    return args;
}

// The command line of a desktop entry's Exec key; nullopt when missing or malformed.
inline std::optional<std::vector<std::string>> DesktopEntryCommand(const std::string& contents) {
    const auto raw = DesktopEntryRawValue(contents, "Exec");
    if (!raw) {
        return std::nullopt;
    }
    const auto exec = UnescapeDesktopString(*raw);
    if (!exec) {
        return std::nullopt;
    }
    return ParseDesktopExec(*exec);
}

}  // namespace reradav::test
