#include "shell/ui/Help.h"

#include <gtest/gtest.h>

#include <QUrl>

#include "support/TempFolder.h"

namespace reradav {
namespace {

// The first folder that has the document wins; a dialog's help opens at its own section.
TEST(Help, OpensTheFirstDocumentFoundAtTheSectionAsked) {
    test::TempFolder folder;
    std::filesystem::create_directory(folder / "b");
    test::WriteBytes(folder / "b" / kHelpFileName, "<html>");
    const QStringList folders = {QString::fromStdString((folder / "a").string()),
                                 QString::fromStdString((folder / "b").string())};
    QString opened;
    const UrlOpener record = [&](const QUrl& url) { return opened = url.toString(), true; };
    EXPECT_TRUE(OpenHelp(folders, record, QStringLiteral("port")));
    EXPECT_EQ(opened.toStdString(), "file://" + (folder / "b" / kHelpFileName).string() + "#port");
    EXPECT_FALSE(OpenHelp({folders[0]}, record));
}

}  // namespace
}  // namespace reradav
