#include "shell/linux/SingleInstance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/FakeEnvironment.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

namespace fs = std::filesystem;
using Result = SingleInstance::Result;

// A copy of the program, as far as the lock goes: instance_lock_holder in a process of its own.
class Holder {
  public:
    explicit Holder(const fs::path& lockFile, std::vector<std::string> child = {}) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no pipe";
            return;
        }
        std::vector<std::string> args = {lockFile.string()};
        args.insert(args.end(), child.begin(), child.end());
        pid_ = test::Spawn(INSTANCE_LOCK_HOLDER_PATH, args, fds[1]);
        ::close(fds[1]);
        out_ = fds[0];
        EXPECT_GT(pid_, 0) << "cannot start " << INSTANCE_LOCK_HOLDER_PATH;
    }
    ~Holder() {
        Kill();
        if (out_ >= 0) {
            ::close(out_);
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    // The next line the holder prints; "" when it ended without one.
    std::string ReadLine() {
        std::string line;
        char c;
        while (::read(out_, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }
    // Its exit status once it has ended by itself; -1 when killed.
    int Wait() {
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // As a crash would end it: no chance to clean up.
    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

using test::Env;

TEST(InstanceLockPathFor, UsesTheRuntimeFolder) {
    EXPECT_EQ(InstanceLockPathFor(Env({{"XDG_RUNTIME_DIR", "/run/user/1000"}}), 1000),
              "/run/user/1000/reradav.lock");
}

TEST(InstanceLockPathFor, FallsBackToAPerUserFolderInTmp) {
    EXPECT_EQ(InstanceLockPathFor(Env({}), 1000), "/tmp/reradav-1000/reradav.lock");
    EXPECT_EQ(InstanceLockPathFor(Env({{"XDG_RUNTIME_DIR", ""}}), 42),
              "/tmp/reradav-42/reradav.lock");
    EXPECT_EQ(InstanceLockPathFor(Env({{"XDG_RUNTIME_DIR", "run"}}), 7, "/var/tmp"),
              "/var/tmp/reradav-7/reradav.lock");
}

TEST(SingleInstance, SecondProcessIsRefusedWhileTheFirstRuns) {
    TempFolder temp;
    const fs::path lock = temp / "reradav.lock";
    Holder first(lock);
    ASSERT_EQ(first.ReadLine(), "acquired");

    Holder second(lock);
    EXPECT_EQ(second.ReadLine(), "running");
    EXPECT_EQ(second.Wait(), 1);

    SingleInstance here(lock.string());
    std::string error;
    EXPECT_EQ(here.Acquire(&error), Result::AlreadyRunning);
}

TEST(SingleInstance, ACrashedCopyDoesNotBlockTheNextStart) {
    TempFolder temp;
    const fs::path lock = temp / "reradav.lock";
    Holder first(lock);
    ASSERT_EQ(first.ReadLine(), "acquired");
    first.Kill();
    ASSERT_TRUE(fs::exists(lock));  // left behind, as after a crash

    Holder next(lock);
    EXPECT_EQ(next.ReadLine(), "acquired");
}

TEST(SingleInstance, ProgramsStartedByACopyDoNotKeepTheLock) {
    const auto sleep = test::FindProgram("sleep");
    ASSERT_TRUE(sleep.has_value());
    TempFolder temp;
    const fs::path lock = temp / "reradav.lock";
    Holder first(lock, {*sleep, "1000"});
    ASSERT_EQ(first.ReadLine(), "acquired");
    const pid_t child = std::stoi(first.ReadLine());
    first.Kill();

    SingleInstance next(lock.string());
    EXPECT_EQ(next.Acquire(), Result::Acquired);
    ::kill(child, SIGKILL);
}

TEST(SingleInstance, HeldForTheLifeOfTheObject) {
    TempFolder temp;
    const std::string lock = (temp / "reradav.lock").string();
    {
        SingleInstance first(lock);
        ASSERT_EQ(first.Acquire(), Result::Acquired);
        EXPECT_EQ(first.Acquire(), Result::Acquired);  // asking again changes nothing
        EXPECT_EQ(ReadBytes(lock), std::to_string(::getpid()) + "\n");
        SingleInstance second(lock);
        EXPECT_EQ(second.Acquire(), Result::AlreadyRunning);
    }
    SingleInstance third(lock);
    EXPECT_EQ(third.Acquire(), Result::Acquired);
}

TEST(SingleInstance, CreatesAPrivateFolderForTheLock) {
    TempFolder temp;
    const fs::path folder = temp / "reradav-1000";
    SingleInstance instance((folder / "reradav.lock").string());
    ASSERT_EQ(instance.Acquire(), Result::Acquired);
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((folder / "reradav.lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(SingleInstance, RefusesAFolderPlantedAsALink) {
    TempFolder temp;
    fs::create_directory(temp / "elsewhere");
    fs::create_directory_symlink(temp / "elsewhere", temp / "reradav-1000");
    SingleInstance instance((temp / "reradav-1000/reradav.lock").string());
    std::string error;
    EXPECT_EQ(instance.Acquire(&error), Result::Failed);
    EXPECT_NE(error, "");
    EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
}

TEST(SingleInstance, RefusesALockFilePlantedAsALink) {
    TempFolder temp;
    WriteBytes(temp / "target", "keep");
    fs::create_symlink(temp / "target", temp / "reradav.lock");
    SingleInstance instance((temp / "reradav.lock").string());
    EXPECT_EQ(instance.Acquire(), Result::Failed);
    EXPECT_EQ(ReadBytes(temp / "target"), "keep");
}

TEST(SingleInstance, RefusesAFolderOfAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder away";
    }
    TempFolder temp;
    const fs::path folder = temp / "reradav-1000";
    fs::create_directory(folder);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    SingleInstance instance((folder / "reradav.lock").string());
    EXPECT_EQ(instance.Acquire(), Result::Failed);
    EXPECT_TRUE(fs::is_empty(folder));
}

}  // namespace
}  // namespace reradav
