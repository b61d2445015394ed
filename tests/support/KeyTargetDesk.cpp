#include "support/KeyTargetDesk.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace reradav::test {

KeyTargetDesk::~KeyTargetDesk() {
    Stop(target_);
    if (!folder_.empty()) {
        std::filesystem::remove_all(folder_);
    }
}

bool KeyTargetDesk::Start(std::string* error, bool withTarget) {
    if (!x_.Start(error)) {
        return false;
    }
    setenv("DISPLAY", x_.Display().c_str(), 1);
    char folder[] = "/tmp/reradav-x11-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        *error = "no temporary folder";
        return false;
    }
    folder_ = folder;
    outputPath_ = folder_ + "/received";
    std::ofstream(outputPath_).close();
    if (!withTarget) {
        return true;
    }

    int fds[2];
    if (pipe(fds) != 0) {
        *error = "no pipe";
        return false;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    target_ = Spawn(KEY_TARGET_PATH, {outputPath_}, fds[1]);
    close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    std::string line;
    char c = 0;
    while (poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(fds[0]);
    if (line != "ready") {
        *error = "the key target window did not get the focus";
        return false;
    }
    return true;
}

std::string KeyTargetDesk::Received() const {
    std::ifstream in(outputPath_, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void KeyTargetDesk::ClearReceived() {
    std::filesystem::resize_file(outputPath_, 0);
}

}  // namespace reradav::test
