#include "support/SwayDesk.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace reradav::test {

using namespace std::chrono_literals;

SwayDesk::~SwayDesk() {
    std::for_each(started_.rbegin(), started_.rend(), Stop);
}

bool SwayDesk::Start(std::string* error) {
    const char* user = "reradav-test";
    if (getuid() == 0 && getpwnam(user) == nullptr) {
        RunToEnd("/usr/sbin/useradd", {"--system", "--no-create-home", user});
    }
    const passwd* entry = getuid() == 0 ? getpwnam(user) : getpwuid(getuid());
    *error = "sway or wev (tools/install-deps), or the user reradav-test, is missing";
    if (!FindProgram("sway") || !FindProgram("wev") || entry == nullptr)
        return false;
    uid_ = entry->pw_uid, gid_ = entry->pw_gid;
    Give(folder_.path());
    WriteBytes(folder_ / "config", "output HEADLESS-1 resolution 1024x768\n");
    Run(*FindProgram("sway"), {"-c", (folder_ / "config").string()},
        {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"});
    WaitUntil([&] { return std::filesystem::exists(folder_ / "wayland-1"); }, 10s);
    Run("/bin/sh", {"-c", "exec stdbuf -oL wev -f wl_keyboard >wev.out"});
    *error = "sway did not start, or wev did not get the focus: " + ReadBytes(folder_ / "sway.log");
    return HasWindow("wev");
}

// As root through setpriv; the session's variables only.
pid_t SwayDesk::Run(const std::string& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& env) {
    const std::string home = folder_.path().string();
    const std::string log = std::filesystem::path(program).filename().string() + ".log";
    const std::string script = "cd \"$0\" && exec env -i \"$@\" 2>>" + log;
    std::vector<std::string> command = {"--reuid=" + std::to_string(uid_),
                                        "--regid=" + std::to_string(gid_), "--clear-groups"};
    command.insert(command.end(), {"/bin/sh", "-c", script, home, "XDG_RUNTIME_DIR=" + home});
    command.insert(command.end(), {"PATH=/usr/bin:/bin", "WAYLAND_DISPLAY=wayland-1"});
    command.push_back("XDG_SESSION_TYPE=wayland");
    command.insert(command.end(), env.begin(), env.end());
    command.push_back(program);
    command.insert(command.end(), args.begin(), args.end());
    const bool root = getuid() == 0;
    const pid_t pid = Spawn(root ? "/usr/bin/setpriv" : "/bin/sh",
                            std::vector(command.begin() + (root ? 0 : 4), command.end()));
    started_.push_back(pid);
    return pid;
}

void SwayDesk::Give(const std::string& path) const {
    EXPECT_EQ(chown(path.c_str(), uid_, gid_), 0) << path;
}

bool SwayDesk::HasWindow(const std::string& appId) {
    const std::string program = "exec swaymsg -s sway-ipc.*.sock -t get_tree >tree";
    return WaitUntil(
        [&] {
            const pid_t pid = Run("/bin/sh", {"-c", program});
            WaitForExit(pid, 10s);
            std::erase(started_, pid);
            return ReadBytes(folder_ / "tree").find("\"app_id\": \"" + appId + "\"") !=
                   std::string::npos;
        },
        10s);
}

// wev prints a key event as a line with "(pressed)" or "(released)", then one such as
// "sym: Return (65293), utf8: ''".
std::string SwayDesk::Received(int* keysDown) const {
    std::istringstream lines(ReadBytes(folder_ / "wev.out"));
    static const std::regex sym(R"(sym: (\S+) +\(\d+\), utf8: '([^\n]*)'$)");
    static const std::regex modifier("Shift|Control|Alt|ISO_Level3|Caps_Lock");
    std::string text;
    int pressed = 0;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (line.find("] key: ") != std::string::npos) {
            pressed = line.find("(pressed)") != std::string::npos ? 1 : -1;
            if (keysDown != nullptr) {
                *keysDown += pressed;
            }
        } else if (pressed > 0 && std::regex_search(line, m, sym)) {
            const std::string utf8 = m[2];
            const bool shown = !utf8.empty() && static_cast<unsigned char>(utf8[0]) >= 0x20;
            text += shown                                     ? utf8
                    : std::regex_search(m[1].str(), modifier) ? ""
                                                              : "<" + m[1].str() + ">";
            pressed = 0;
        }
    }
    return text;
}

}  // namespace reradav::test
