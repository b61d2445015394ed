#include "common/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "support/TempFolder.h"

namespace reradav {
namespace {

using namespace test;

std::string ModeOf(const std::filesystem::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? std::to_string(st.st_mode & 07777) : "none";
}

// New files get the requested mode, existing ones keep theirs; a symbolic link is followed and
// kept; the old file is replaced, not rewritten (a hard link keeps it); folders are 0700.
TEST(FilesTest, ReplaceKeepsModesAndLinksAndFoldersArePrivate) {
    TempFolder folder;
    EXPECT_TRUE(MakePrivateFolders(folder / "real/sub") && MakePrivateFolders(""));
    std::string seen = ModeOf(folder / "real") + ModeOf(folder / "real/sub");
    for (mode_t mode : {0600u, 0640u}) {
        seen += " " + ReplaceFileAtomically(folder / "real/f", "new", mode);
        seen += ModeOf(folder / "real/f");
        std::filesystem::remove(folder / "real/f");
    }
    WriteBytes(folder / "real/f", "old");
    std::filesystem::create_hard_link(folder / "real/f", folder / "old");
    std::filesystem::create_symlink("real/f", folder / "link");
    for (mode_t mode : {0644u, 0600u}) {
        ::chmod((folder / "real/f").c_str(), mode);
        seen += " " + ReplaceFileAtomically(folder / "link", "new", 0640);
        seen += ModeOf(folder / "real/f");
    }
    EXPECT_EQ(seen, "448448 384 416 420 384");  // 0700 0700, new 0600 0640, kept 0644 0600
    EXPECT_EQ(ReadBytes(folder / "real/f") + ReadBytes(folder / "old"), "newold");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "real"), {}), 2);
    EXPECT_FALSE(MakePrivateFolders(folder / "old/sub"));
}

// A failure leaves the old file whole and no temporary file; the message names the file.
TEST(FilesTest, FailuresNameTheFileAndLeaveNothingBehind) {
    EXPECT_FALSE(WriteAll(-1, "x"));
    TempFolder folder;
    std::filesystem::create_directory(folder / "dir");
    WriteBytes(folder / "f", "old");
    std::string seen;
    for (const char* name : {"missing/f", "f/f", "dir"})
        seen += ReplaceFileAtomically(folder / name, "new", 0600) + "\n";
    const std::string at = folder.path().string() + "/";
    EXPECT_EQ(seen, "Cannot create a file beside " + at + "missing/f: " + std::strerror(ENOENT) +
                        "\nCannot examine " + at + "f/f: " + std::strerror(ENOTDIR) +
                        "\nCannot replace " + at + "dir: " + std::strerror(EISDIR) + "\n");
    EXPECT_EQ(ReadBytes(folder / "f"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
    // A read-only file stays as it was; a private one is made private again; a killed save's
    // temporary goes at the next start, other files stay.
    ::chmod((folder / "f").c_str(), 0444);
    EXPECT_EQ(ReplaceFileAtomically(folder / "f", "new", 0600),
              "Cannot replace " + at + "f: the file is read-only");
    ::chmod((folder / "f").c_str(), 0644);
    EXPECT_EQ(ReplaceFileAtomically(folder / "f", "new", 0600, FileMode::Always), "");
    EXPECT_EQ(ModeOf(folder / "f"), "384");
    WriteBytes(folder / ".f.Ab3dEf", ""), WriteBytes(folder / ".f.keep", "");
    RemoveStaleTemporaries(folder / "f");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 3);
}

}  // namespace
}  // namespace reradav
