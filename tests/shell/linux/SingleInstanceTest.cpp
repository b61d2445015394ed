#include "shell/linux/SingleInstance.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace reradav {

namespace fs = std::filesystem;

TEST(SingleInstance, OneCopyAtATimeInAFolderOfThisUser) {
    test::TempFolder temp;
    const std::string lock = (temp / "run/reradav.lock").string();
    std::string error;
    auto first = std::make_unique<SingleInstance>(lock);
    SingleInstance second(lock);
    EXPECT_EQ(first->Acquire(), SingleInstance::Result::Acquired);
    EXPECT_EQ(second.Acquire(&error), SingleInstance::Result::AlreadyRunning);
    EXPECT_EQ(error, "Another copy holds " + lock + ": Resource temporarily unavailable");
    first.reset();
    EXPECT_EQ(second.Acquire(), SingleInstance::Result::Acquired);
    fs::create_directory_symlink(temp / "run", temp / "link");  // planted in a shared /tmp
    EXPECT_EQ(SingleInstance((temp / "link/x").string()).Acquire(&error),
              SingleInstance::Result::Failed);
    EXPECT_EQ(error,
              (temp / "link").string() + " is not a folder of this user: Operation not permitted");
    EXPECT_EQ(SingleInstance(lock + "/x/y").Acquire(&error), SingleInstance::Result::Failed);
    EXPECT_EQ(error, "Cannot create " + lock + "/x: Not a directory");
}

}  // namespace reradav
