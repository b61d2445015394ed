#include "shell/windows/SingleInstance.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/TempFolder.h"

namespace reradav {

using Result = SingleInstance::Result;

TEST(WindowsSingleInstance, OneCopyPerSettingsFileWhateverTheCaseOfItsPath) {
    test::TempFolder temp;
    auto first = std::make_unique<SingleInstance>(InstanceNameFor(temp.path() / u8"Täst.vav"));
    SingleInstance same(InstanceNameFor(temp.path() / u8"sub" / u8".." / u8"TÄST.VAV"));
    SingleInstance other(InstanceNameFor(temp.path() / u8"Täst.vav.bak"));
    std::string error;
    EXPECT_EQ(first->Acquire(), Result::Acquired);
    EXPECT_EQ(same.Acquire(&error), Result::AlreadyRunning);
    EXPECT_EQ(error, "Another copy holds " + first->Name());
    EXPECT_EQ(other.Acquire(), Result::Acquired);
    first.reset();
    EXPECT_EQ(same.Acquire(), Result::Acquired);
}

}  // namespace reradav
