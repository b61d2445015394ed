#include "common/Files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace reradav {
namespace {

using namespace test;

std::size_t Entries(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Bytes go out and come back as they are: CRLF stays CRLF, a lone LF stays LF (a text-mode
// write would turn it into CRLF), and a name outside the ANSI code page works.
TEST(Win32Files, ReplaceAndReadKeepEveryByteUnderAnyName) {
    TempFolder folder;
    const auto file = folder.path() / u8"Grüße €.vav";
    const std::string bytes = std::string("[Settings]\r\nA=1\nB=\x80\x1a\0end", 24);
    ASSERT_TRUE(MakePrivateFolders(folder / "a" / "b"));
    for (const auto& target : {file, folder / "a" / "b" / "f"}) {
        EXPECT_EQ(ReplaceFileAtomically(target, "old", 0600), "");
        EXPECT_EQ(ReplaceFileAtomically(target, bytes, 0600), "");
        std::string back = "stale";
        EXPECT_EQ(ReadWholeFile(target, back), "");
        EXPECT_EQ(back, bytes);
    }
    EXPECT_EQ(Entries(folder.path()), 2u);  // no temporary file left
    std::string missing = "stale";
    EXPECT_EQ(ReadWholeFile(folder / "none", missing), "");
    EXPECT_EQ(missing, "");
}

// A failure names the file in UTF-8 with the system's words and leaves the old file whole.
TEST(Win32Files, FailuresNameTheFileAndLeaveTheOldOne) {
    TempFolder folder;
    const auto file = folder.path() / u8"Straße.vav";
    WriteBytes(file, "old");
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReplaceFileAtomically(file, "new", 0600),
              "Cannot replace " + PathText(file) + ": the file is read-only");
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::string error = ReplaceFileAtomically(folder / "missing" / "f", "new", 0600);
    EXPECT_TRUE(error.starts_with("Cannot create a file beside " +
                                  PathText(folder / "missing" / "f") + ": "))
        << error;
    EXPECT_GT(error.size(), error.find(": ") + 4) << "no system message: " << error;
    EXPECT_EQ(ReadBytes(file), "old");
    EXPECT_EQ(Entries(folder.path()), 1u);
    // A killed save's temporary goes at the next start; other files stay.
    WriteBytes(folder.path() / u8".Straße.vav.Ab3dEf", "");
    WriteBytes(folder.path() / u8".Straße.vav.keep", "");
    RemoveStaleTemporaries(file);
    EXPECT_EQ(Entries(folder.path()), 2u);
}

}  // namespace
}  // namespace reradav
