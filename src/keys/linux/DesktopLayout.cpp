#include "keys/linux/DesktopLayout.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>

#include "common/Text.h"
#include "common/linux/Environment.h"

extern char** environ;

namespace reradav {
namespace {

using Clock = std::chrono::steady_clock;

// More than any of the commands asked prints; anything larger is not their answer.
constexpr std::size_t kMaxOutput = 1 << 20;

// Waits for the child until the deadline; kills it after that. True when it exited with 0.
bool ReapChild(pid_t pid, Clock::time_point deadline) {
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (done < 0 && errno != EINTR) {
            return false;  // reaped elsewhere: its status is unknown, and the pid may be reused
        }
        if (Clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
}

std::optional<std::string> Run(const std::vector<std::string>& argv,
                               std::chrono::milliseconds timeout) {
    if (argv.empty()) {
        return std::nullopt;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The caller's thread may block signals or ignore SIGPIPE; the child starts clean.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(&attributes, &mask);
    sigaddset(&mask, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &mask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return std::nullopt;
    }

    const auto deadline = Clock::now() + timeout;
    std::string output;
    bool complete = false;
    while (!complete && output.size() <= kMaxOutput) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd readable{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        char buffer[4096];
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            break;
        }
        complete = got == 0;
        output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    const bool succeeded = ReapChild(pid, complete ? deadline : Clock::now());
    if (!complete || !succeeded) {
        return std::nullopt;
    }
    return output;
}

// The first entry of a comma-separated list: the layout (or variant) in use.
std::string First(std::string_view list) {
    return std::string(Trim(list.substr(0, list.find(','))));
}

// The strings of a GVariant text such as "[('xkb', 'de'), ('ibus', 'anthy')]" or "@as []";
// nullopt when the text is not a list of strings or tuples of strings.
std::optional<std::vector<std::string>> GVariantStrings(std::string_view text) {
    std::string list(Trim(text));
    if (list.starts_with('@')) {  // a type annotation, given for empty lists
        list =
            std::string(Trim(std::string_view(list).substr(std::min(list.find(' '), list.size()))));
    }
    if (list.size() < 2 || list.front() != '[' || list.back() != ']') {
        return std::nullopt;
    }
    std::vector<std::string> strings;
    for (std::size_t i = 1; i + 1 < list.size(); ++i) {
        const char c = list[i];
        if (c != '\'' && c != '"') {
            if (std::string_view("(), \t\n").find(c) == std::string_view::npos) {
                return std::nullopt;
            }
            continue;
        }
        std::string value;
        for (++i; i + 1 < list.size() && list[i] != c; ++i) {
            if (list[i] == '\\' && i + 2 < list.size()) {
                ++i;
            }
            value += list[i];
        }
        if (i + 1 >= list.size()) {
            return std::nullopt;  // unterminated
        }
        strings.push_back(std::move(value));
    }
    return strings;
}

std::optional<XkbNames> FromGnome(const CommandOutput& run) {
    const std::vector<std::string> get = {"gsettings", "get", "org.gnome.desktop.input-sources"};
    auto withKey = [&](const char* key) {
        auto argv = get;
        argv.emplace_back(key);
        return argv;
    };
    const auto output = run(withKey("sources"));
    const auto sources = output ? GVariantStrings(*output) : std::nullopt;
    if (!sources || sources->size() % 2 != 0) {
        return std::nullopt;
    }
    // Pairs of type and id; input methods (ibus) have no XKB names.
    for (std::size_t i = 0; i < sources->size(); i += 2) {
        const std::string& id = (*sources)[i + 1];
        if ((*sources)[i] != "xkb" || id.empty()) {
            continue;
        }
        XkbNames names;
        const auto plus = id.find('+');
        names.layout = id.substr(0, plus);
        names.variant = plus == std::string::npos ? "" : id.substr(plus + 1);
        const auto optionsOutput = run(withKey("xkb-options"));
        if (const auto options = optionsOutput ? GVariantStrings(*optionsOutput) : std::nullopt) {
            for (const auto& option : *options) {
                names.options += (names.options.empty() ? "" : ",") + option;
            }
        }
        return names;
    }
    return std::nullopt;
}

std::optional<XkbNames> FromKde(const EnvLookup& env) {
    const auto configHome = ConfigHomeFor(env);
    if (configHome.empty()) {
        return std::nullopt;
    }
    std::ifstream in(configHome / "kxkbrc");
    std::map<std::string, std::string> values;
    std::string line;
    bool inLayout = false;
    while (std::getline(in, line)) {
        line = std::string(Trim(line));
        if (line.starts_with('[')) {
            inLayout = line == "[Layout]";
            continue;
        }
        const auto eq = line.find('=');
        if (inLayout && eq != std::string::npos) {
            values[std::string(Trim(std::string_view(line).substr(0, eq)))] =
                std::string(Trim(std::string_view(line).substr(eq + 1)));
        }
    }
    // KConfig's spellings of true.
    static const std::regex kTrue("true|on|yes|1", std::regex::icase);
    if (!std::regex_match(values["Use"], kTrue) || First(values["LayoutList"]).empty()) {
        return std::nullopt;
    }
    XkbNames names;
    names.layout = First(values["LayoutList"]);
    names.variant = First(values["VariantList"]);
    names.options = values["Options"];
    if (!values["Model"].empty()) {
        names.model = values["Model"];
    }
    return names;
}

// The layout and variant whose registry description is `description`, as sway reports them.
std::optional<std::pair<std::string, std::string>> RegistryNames(const std::string& registryFile,
                                                                 const QString& description) {
    QFile file(QString::fromStdString(registryFile));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QXmlStreamReader xml(&file);
    std::vector<QString> open;  // the elements around the reader
    QString layout;
    QString variant;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && !open.empty()) {
            open.pop_back();
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        // <layout> and <variant> each hold a <configItem> with <name> then <description>.
        const bool item =
            open.size() >= 2 && open.back() == u"configItem" &&
            (open[open.size() - 2] == u"layout" || open[open.size() - 2] == u"variant");
        const bool ofVariant = item && open[open.size() - 2] == u"variant";
        if (item && xml.name() == u"name") {
            (ofVariant ? variant : layout) = xml.readElementText();
        } else if (item && xml.name() == u"description") {
            if (xml.readElementText() == description) {
                return std::pair(layout.toStdString(), ofVariant ? variant.toStdString() : "");
            }
        } else {
            open.push_back(xml.name().toString());
        }
    }
    return std::nullopt;
}

std::optional<XkbNames> FromSway(const CommandOutput& run, const EnvLookup& env,
                                 const std::string& registryFile) {
    if (env("SWAYSOCK").value_or("").empty()) {
        return std::nullopt;
    }
    const auto output = run({"swaymsg", "-t", "get_inputs", "--raw"});
    if (!output) {
        return std::nullopt;
    }
    const QJsonArray inputs = QJsonDocument::fromJson(QByteArray::fromStdString(*output)).array();
    for (const auto& input : inputs) {
        const QJsonObject keyboard = input.toObject();
        const QJsonArray layouts = keyboard["xkb_layout_names"].toArray();
        if (keyboard["type"].toString() != u"keyboard" || layouts.isEmpty()) {
            continue;
        }
        const int active = keyboard["xkb_active_layout_index"].toInt(0);
        if (active < 0 || active >= layouts.size()) {
            return std::nullopt;
        }
        const auto found = RegistryNames(registryFile, layouts[active].toString());
        if (!found) {
            return std::nullopt;
        }
        XkbNames names;
        std::tie(names.layout, names.variant) = *found;
        return names;
    }
    return std::nullopt;
}

std::optional<XkbNames> FromLocalectl(const CommandOutput& run) {
    const auto output = run({"localectl", "status"});
    if (!output) {
        return std::nullopt;
    }
    std::map<std::string, std::string> values;
    std::istringstream lines(*output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon != std::string::npos) {
            const std::string value(Trim(std::string_view(line).substr(colon + 1)));
            values[std::string(Trim(std::string_view(line).substr(0, colon)))] =
                value == "n/a" || value == "(unset)" ? "" : value;
        }
    }
    if (First(values["X11 Layout"]).empty()) {
        return std::nullopt;
    }
    XkbNames names;
    names.layout = First(values["X11 Layout"]);
    names.variant = First(values["X11 Variant"]);
    names.options = values["X11 Options"];
    if (!values["X11 Model"].empty()) {
        names.model = values["X11 Model"];
    }
    return names;
}

}  // namespace

CommandOutput RunCommand(std::chrono::milliseconds timeout) {
    return [timeout](const std::vector<std::string>& argv) { return Run(argv, timeout); };
}

DesktopLayout DesktopKeyboardNames(const DesktopLayoutSources& sources) {
    const EnvLookup env = [&](const char* name) {
        return sources.env ? sources.env(name) : std::nullopt;
    };
    const CommandOutput run = [&](const std::vector<std::string>& argv) {
        return sources.run ? sources.run(argv) : std::nullopt;
    };
    // Settings a desktop left behind are read only under that desktop: gsettings answers from
    // dconf under any desktop.
    std::string desktop = env("XDG_CURRENT_DESKTOP").value_or("");
    for (char& c : desktop) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (auto names = desktop.find("GNOME") != std::string::npos ? FromGnome(run) : std::nullopt) {
        return {*names, "GNOME settings"};
    }
    if (auto names = desktop.find("KDE") != std::string::npos ? FromKde(env) : std::nullopt) {
        return {*names, "KDE settings"};
    }
    if (auto names = FromSway(run, env, sources.registryFile)) {
        return {*names, "sway"};
    }
    if (auto names = FromLocalectl(run)) {
        return {*names, "localectl"};
    }
    DesktopLayout system;
    system.names = SystemKeyboardNames(env, sources.systemFiles, &system.source);
    return system;
}

DesktopLayoutSources ProcessDesktopLayoutSources() {
    DesktopLayoutSources sources;
    sources.env = UserEnvironment();
    sources.run = RunCommand();
    return sources;
}

std::unique_ptr<XkbLayout> CompileDesktopLayout(std::string* source, std::string* error) {
    const DesktopLayout desktop = DesktopKeyboardNames(ProcessDesktopLayoutSources());
    if (auto layout = XkbLayout::FromNames(desktop.names, nullptr)) {
        *source = desktop.source;
        return layout;
    }
    *source = "system settings";
    return XkbLayout::FromNames(SystemKeyboardNames(UserEnvironment()), error);
}

}  // namespace reradav
