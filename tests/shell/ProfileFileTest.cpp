#include "shell/ProfileFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

std::optional<std::string> Read(std::string_view bytes, std::string_view section,
                                std::string_view key) {
    return ProfileFile(bytes).Find(section, key);
}

mode_t ModeOf(const std::filesystem::path& file) {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st.st_mode & 07777;
}

// ---- Reading ----

TEST(ProfileFileRead, SectionAndKeyNamesIgnoreCase) {
    const std::string file = "[ReRaDaV]\r\ncomport=3\r\n";
    EXPECT_EQ(Read(file, "Reradav", "ComPort"), "3");
    EXPECT_EQ(Read(file, "RERADAV", "COMPORT"), "3");
    EXPECT_EQ(Read(file, "Reradav", "ComPor"), std::nullopt);
    EXPECT_EQ(Read(file, "Reradav2", "ComPort"), std::nullopt);
}

TEST(ProfileFileRead, BlanksAroundNamesAndValuesAreTrimmed) {
    const std::string file = "  [ Reradav ]  \n \tPostamble \t= \t{TAB} x \t\r\n";
    EXPECT_EQ(Read(file, "Reradav", "Postamble"), "{TAB} x");
}

TEST(ProfileFileRead, OnePairOfEnclosingQuotesIsRemoved) {
    const std::string file =
        "[S]\n"
        "a=\"x y\"\n"
        "b='x y'\n"
        "c= \" padded \" \n"
        "d=\"\"twice\"\"\n"
        "e=\"mixed'\n"
        "f=\"\n"
        "g='\n"
        "h=\"\"\n"
        "i=\"inner\" text\n";
    EXPECT_EQ(Read(file, "S", "a"), "x y");
    EXPECT_EQ(Read(file, "S", "b"), "x y");
    EXPECT_EQ(Read(file, "S", "c"), " padded ");
    EXPECT_EQ(Read(file, "S", "d"), "\"twice\"");
    EXPECT_EQ(Read(file, "S", "e"), "\"mixed'");
    EXPECT_EQ(Read(file, "S", "f"), "\"");
    EXPECT_EQ(Read(file, "S", "g"), "'");
    EXPECT_EQ(Read(file, "S", "h"), "");
    EXPECT_EQ(Read(file, "S", "i"), "\"inner\" text");
}

TEST(ProfileFileRead, PresentEmptyValueDiffersFromAbsentKey) {
    ProfileFile profile("[S]\r\nKeyTrans65=\r\nBlank=   \r\n");
    EXPECT_EQ(profile.GetString("S", "KeyTrans65", "A"), "");
    EXPECT_EQ(profile.GetString("S", "Blank", "x"), "");
    EXPECT_EQ(profile.GetString("S", "KeyTrans66", "B"), "B");
    EXPECT_EQ(profile.GetString("Missing", "KeyTrans65", "A"), "A");
}

TEST(ProfileFileRead, LfAndCrlfLineEndsReadTheSame) {
    const std::string crlf = "[S]\r\na=1\r\nb=two words\r\n[T]\r\na=3";
    const std::string lf = "[S]\na=1\nb=two words\n[T]\na=3";
    for (const std::string* file : {&crlf, &lf}) {
        EXPECT_EQ(Read(*file, "S", "a"), "1");
        EXPECT_EQ(Read(*file, "S", "b"), "two words");
        EXPECT_EQ(Read(*file, "T", "a"), "3");
    }
}

TEST(ProfileFileRead, LongValuesAreCutTo199Characters) {
    const std::string exact(199, 'x');
    const std::string longer = std::string(199, 'y') + std::string(51, 'z');
    ProfileFile profile("[S]\nexact=" + exact + "\nlong=" + longer + "\nquoted=\"" + longer +
                        "\"\n");
    EXPECT_EQ(profile.GetString("S", "exact", ""), exact);
    EXPECT_EQ(profile.GetString("S", "long", ""), longer.substr(0, 199));
    // The quotes are removed first, then the value is cut.
    EXPECT_EQ(profile.GetString("S", "quoted", ""), longer.substr(0, 199));
}

TEST(ProfileFileRead, OnlyKeysOfTheFirstMatchingSectionAndKeyCount) {
    const std::string file =
        "a=before any section\n"
        "[S]\n"
        "; b=commented out\n"
        ";c=also\n"
        "not a key\n"
        "a=first\n"
        "A=second\n"
        "[T]\n"
        "d=other section\n"
        "[s]\n"
        "e=second S section\n";
    EXPECT_EQ(Read(file, "S", "a"), "first");
    EXPECT_EQ(Read(file, "S", "b"), std::nullopt);
    EXPECT_EQ(Read(file, "S", "; b"), std::nullopt);
    EXPECT_EQ(Read(file, "S", "c"), std::nullopt);
    EXPECT_EQ(Read(file, "S", "not a key"), std::nullopt);
    EXPECT_EQ(Read(file, "S", "d"), std::nullopt);
    EXPECT_EQ(Read(file, "S", "e"), std::nullopt);
    EXPECT_EQ(Read(file, "T", "d"), "other section");
}

TEST(ProfileFileRead, BytesAreKeptAsBytes) {
    const std::string value = "Lager 3 \x96 Wareneingang \xA0\xE9\xFF";
    EXPECT_EQ(Read("[S]\r\nStation=" + value + "\r\n", "S", "Station"), value);
}

// ---- Writing ----

TEST(ProfileFileWrite, ExistingKeyIsReplacedInPlaceAndEverythingElseKept) {
    ProfileFile profile(
        "; settings\r\n"
        "[Reradav]\r\n"
        "ComPort=3\r\n"
        "Station=by hand\r\n"
        "  beep = 1 \r\n"
        "\r\n"
        "[Other]\r\n"
        "ComPort=9\r\n");
    profile.WriteString("RERADAV", "ComPort", "4");
    profile.WriteString("Reradav", "Beep", "0");
    EXPECT_EQ(profile.Text(),
              "; settings\r\n"
              "[Reradav]\r\n"
              "ComPort=4\r\n"
              "Station=by hand\r\n"
              "beep=0\r\n"
              "\r\n"
              "[Other]\r\n"
              "ComPort=9\r\n");
}

TEST(ProfileFileWrite, UnchangedValueLeavesItsLineAlone) {
    const std::string file = "[S]\r\n  a = 1 \r\nb=\"quoted\"\r\nc='x'\r\n";
    ProfileFile profile(file);
    profile.WriteString("s", "A", "1");
    profile.WriteString("S", "b", "quoted");
    profile.WriteString("S", "c", "x");
    EXPECT_EQ(profile.Text(), file);
}

TEST(ProfileFileWrite, NewKeyGoesAfterTheLastLineOfItsSection) {
    ProfileFile profile("[S]\r\na=1\r\n; note\r\n\r\n\r\n[T]\r\nx=1\r\n");
    profile.WriteString("S", "b", "2");
    profile.WriteString("T", "y", "2");
    profile.WriteString("S", "c", "3");
    EXPECT_EQ(profile.Text(),
              "[S]\r\na=1\r\n; note\r\nb=2\r\nc=3\r\n\r\n\r\n[T]\r\nx=1\r\ny=2\r\n");
}

TEST(ProfileFileWrite, NewKeyInAnEmptySectionFollowsItsHeader) {
    ProfileFile profile("[S]\n\n[T]\n");
    profile.WriteString("S", "a", "1");
    EXPECT_EQ(profile.Text(), "[S]\r\na=1\r\n\r\n[T]\r\n");
}

TEST(ProfileFileWrite, NewSectionGoesAtTheEndOfTheFile) {
    ProfileFile empty;
    empty.WriteString("Reradav", "ComPort", "0");
    empty.WriteString("Reradav", "BeepSound", "0");
    EXPECT_EQ(empty.Text(), "[Reradav]\r\nComPort=0\r\nBeepSound=0\r\n");

    ProfileFile other("[Other]\nx=1");
    other.WriteString("Reradav", "ComPort", "2");
    EXPECT_EQ(other.Text(), "[Other]\r\nx=1\r\n\r\n[Reradav]\r\nComPort=2\r\n");

    ProfileFile endsBlank("[Other]\r\nx=1\r\n\r\n");
    endsBlank.WriteString("Reradav", "ComPort", "2");
    EXPECT_EQ(endsBlank.Text(), "[Other]\r\nx=1\r\n\r\n[Reradav]\r\nComPort=2\r\n");
}

TEST(ProfileFileWrite, LfFileIsWrittenWithCrlf) {
    const ProfileFile profile("[S]\na=1\n\n; c\n");
    EXPECT_EQ(profile.Text(), "[S]\r\na=1\r\n\r\n; c\r\n");
    EXPECT_EQ(ProfileFile().Text(), "");
}

TEST(ProfileFileWrite, PlainValuesAreWrittenVerbatim) {
    ProfileFile profile;
    profile.WriteString("S", "a", "9600,N,8,1");
    profile.WriteString("S", "b", "");
    profile.WriteString("S", "c", "\"");
    profile.WriteString("S", "d", "x = 'y'");
    EXPECT_EQ(profile.Text(), "[S]\r\na=9600,N,8,1\r\nb=\r\nc=\"\r\nd=x = 'y'\r\n");
}

class ProfileFileValueTest : public ::testing::TestWithParam<std::string> {};

// Values that Windows would write so that they read back different are quoted instead.
TEST_P(ProfileFileValueTest, ValueReadsBackAsWritten) {
    ProfileFile profile("[S]\r\nv=old\r\n");
    profile.WriteString("S", "v", GetParam());
    profile.WriteString("S", "new", GetParam());
    ProfileFile reread(profile.Text());
    EXPECT_EQ(reread.Find("S", "v"), GetParam()) << profile.Text();
    EXPECT_EQ(reread.Find("S", "new"), GetParam()) << profile.Text();
    // Writing it again changes nothing.
    const std::string text = reread.Text();
    reread.WriteString("S", "v", GetParam());
    EXPECT_EQ(reread.Text(), text);
}

INSTANTIATE_TEST_SUITE_P(Values, ProfileFileValueTest,
                         ::testing::Values(" leading", "trailing ", "\tboth\t", " ", "\"q\"", "'q'",
                                           "\"\"", "''", "\"mixed'", "'", "a=b;c", "{ }",
                                           "\x96\xA0"));

TEST(ProfileFileWrite, ValueIsCutAtItsFirstLineEnd) {
    ProfileFile profile("[S]\r\nv=old\r\n");
    profile.WriteString("S", "v", "first\r\n[Injected]\r\nx=1");
    EXPECT_EQ(profile.Text(), "[S]\r\nv=first\r\n");
}

// ---- Files ----

TEST(ProfileFileLoad, MissingFileIsAnEmptyProfile) {
    TempFolder folder;
    ProfileFile profile("[S]\na=1\n");
    EXPECT_EQ(profile.Load(folder / "default.vav"), "");
    EXPECT_EQ(profile.Text(), "");
}

TEST(ProfileFileLoad, UnreadableFileIsReported) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "default.vav");
    ProfileFile profile("[S]\na=1\n");
    EXPECT_NE(profile.Load(folder / "default.vav"), "");
    EXPECT_EQ(profile.Text(), "");
}

TEST(ProfileFileLoad, ReadsTheFileBytes) {
    TempFolder folder;
    const std::string bytes = "[S]\r\nStation=Lager \x96 1\r\n\r\n[T]\r\nx=1\r\n";
    WriteBytes(folder / "default.vav", bytes);
    ProfileFile profile;
    ASSERT_EQ(profile.Load(folder / "default.vav"), "");
    EXPECT_EQ(profile.Text(), bytes);
    EXPECT_EQ(profile.Find("S", "Station"), "Lager \x96 1");
}

class ProfileFileSaveTest : public ::testing::Test {
  protected:
    TempFolder folder;
    std::filesystem::path file = folder / "default.vav";
};

TEST_F(ProfileFileSaveTest, NewFileHasMode0600WhateverTheUmask) {
    mode_t old = ::umask(0);
    ProfileFile profile;
    profile.WriteString("Reradav", "ComPort", "1");
    std::string error = profile.Save(file);
    ::umask(old);
    ASSERT_EQ(error, "");
    EXPECT_EQ(ReadBytes(file), "[Reradav]\r\nComPort=1\r\n");
    EXPECT_EQ(ModeOf(file), 0600u);
    EXPECT_THAT(folder.Names(), ::testing::ElementsAre("default.vav"));
}

TEST_F(ProfileFileSaveTest, ExistingFileKeepsItsMode) {
    for (mode_t mode : {0644u, 0640u, 0600u}) {
        WriteBytes(file, "[Reradav]\r\nComPort=1\r\n");
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        ProfileFile profile;
        ASSERT_EQ(profile.Load(file), "");
        profile.WriteString("Reradav", "ComPort", "2");
        ASSERT_EQ(profile.Save(file), "");
        EXPECT_EQ(ReadBytes(file), "[Reradav]\r\nComPort=2\r\n");
        EXPECT_EQ(ModeOf(file), mode);
    }
}

TEST_F(ProfileFileSaveTest, SaveReplacesTheFileRatherThanRewritingIt) {
    WriteBytes(file, "[Reradav]\r\nComPort=1\r\n");
    // A second name for the old file shows whether its contents were touched.
    std::filesystem::create_hard_link(file, folder / "old");
    ProfileFile profile;
    ASSERT_EQ(profile.Load(file), "");
    profile.WriteString("Reradav", "ComPort", "2");
    ASSERT_EQ(profile.Save(file), "");
    EXPECT_EQ(ReadBytes(folder / "old"), "[Reradav]\r\nComPort=1\r\n");
    EXPECT_EQ(ReadBytes(file), "[Reradav]\r\nComPort=2\r\n");
    EXPECT_THAT(folder.Names(), ::testing::UnorderedElementsAre("default.vav", "old"));
}

TEST_F(ProfileFileSaveTest, FullDiskLeavesTheOldFileWhole) {
    const std::string old = "[Reradav]\r\nComPort=1\r\n";
    WriteBytes(file, old);
    ProfileFile profile;
    ASSERT_EQ(profile.Load(file), "");
    profile.WriteString("Reradav", "Postamble", std::string(150, 'x'));

    // A file-size limit fails the write the way a full disk does (EFBIG instead of ENOSPC).
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error = profile.Save(file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_NE(error, "");
    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_THAT(folder.Names(), ::testing::ElementsAre("default.vav"));
}

TEST_F(ProfileFileSaveTest, FailuresAreReportedAndLeaveNothingBehind) {
    ProfileFile profile;
    profile.WriteString("Reradav", "ComPort", "1");

    std::string error = profile.Save(folder / "missing" / "default.vav");
    EXPECT_NE(error, "");
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    std::filesystem::create_directory(file);  // cannot be replaced by a file
    EXPECT_NE(profile.Save(file), "");
    EXPECT_TRUE(std::filesystem::is_directory(file));
    EXPECT_THAT(folder.Names(), ::testing::ElementsAre("default.vav"));
}

TEST_F(ProfileFileSaveTest, SaveThroughASymbolicLinkKeepsTheLink) {
    std::filesystem::create_directory(folder / "real");
    WriteBytes(folder / "real" / "default.vav", "[Reradav]\r\nComPort=1\r\n");
    std::filesystem::create_symlink("real/default.vav", file);
    ProfileFile profile;
    ASSERT_EQ(profile.Load(file), "");
    profile.WriteString("Reradav", "ComPort", "2");
    ASSERT_EQ(profile.Save(file), "");
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(ReadBytes(folder / "real" / "default.vav"), "[Reradav]\r\nComPort=2\r\n");
}

}  // namespace
}  // namespace reradav
