// Finding and opening the help document.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include "shell/ui/Help.h"

namespace reradav {
namespace {

// A prefix with bin/ and share/doc/reradav/, and a separate source docs folder.
class HelpTest : public ::testing::Test {
  protected:
    HelpTest() {
        root.setAutoRemove(true);
        QDir(root.path()).mkpath("prefix/bin");
        QDir(root.path()).mkpath("prefix/share/doc/reradav");
        QDir(root.path()).mkpath("source/docs");
        folders = HelpFolders(Path("prefix/bin"), Path("source/docs"));
    }

    QString Path(const QString& relative) const { return root.path() + "/" + relative; }

    QString Put(const QString& folder) const {
        const QString file = Path(folder + "/Reradav.html");
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("<html></html>");
        return QFileInfo(file).absoluteFilePath();
    }

    QTemporaryDir root;
    QStringList folders;
};

TEST_F(HelpTest, FoldersAreProgramThenInstalledDocsThenSourceDocs) {
    EXPECT_EQ(folders, QStringList({Path("prefix/bin"), Path("prefix/share/doc/reradav"),
                                    Path("source/docs")}));
    EXPECT_EQ(HelpFolders(Path("prefix/bin"), QString()).size(), 2);
}

TEST_F(HelpTest, TheFirstFolderHoldingTheFileWins) {
    const QString source = Put("source/docs");
    EXPECT_EQ(FindHelpFile(folders), source);
    const QString installed = Put("prefix/share/doc/reradav");
    EXPECT_EQ(FindHelpFile(folders), installed);
    const QString portable = Put("prefix/bin");
    EXPECT_EQ(FindHelpFile(folders), portable);
}

TEST_F(HelpTest, AFolderOfThatNameIsNotTheFile) {
    QDir(root.path()).mkpath("prefix/bin/Reradav.html");
    const QString installed = Put("prefix/share/doc/reradav");
    EXPECT_EQ(FindHelpFile(folders), installed);
}

TEST_F(HelpTest, OpensTheFoundFileAsALocalUrl) {
    const QString installed = Put("prefix/share/doc/reradav");
    QList<QUrl> opened;
    EXPECT_TRUE(OpenHelp(folders, [&](const QUrl& url) {
        opened << url;
        return true;
    }));
    EXPECT_EQ(opened, QList<QUrl>({QUrl::fromLocalFile(installed)}));
}

TEST_F(HelpTest, AMissingFileOrNoBrowserGivesFalse) {
    int calls = 0;
    auto opener = [&](const QUrl&) {
        ++calls;
        return false;
    };
    EXPECT_FALSE(OpenHelp(folders, opener));
    EXPECT_EQ(calls, 0);

    Put("prefix/bin");
    EXPECT_FALSE(OpenHelp(folders, opener));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(OpenHelp(folders, UrlOpener()));
}

TEST(HelpDefaultsTest, ThisSourceTreesHelpDocumentIsFound) {
    // A build run in place finds docs/Reradav.html of its source tree.
    const QString found = FindHelpFile(DefaultHelpFolders());
    EXPECT_TRUE(found.endsWith("/docs/Reradav.html")) << found.toStdString();
    EXPECT_EQ(DefaultHelpFolders().value(0), QCoreApplication::applicationDirPath());
}

}  // namespace
}  // namespace reradav
