#include "shell/ui/Help.h"

#include <gtest/gtest.h>

#include <QUrl>

#include "support/TempFolder.h"

namespace reradav {
namespace {

// A folder without the document is passed over; a dialog's help opens at its own section.
TEST(Help, OpensTheDocumentFoundAtTheSectionAsked) {
    test::TempFolder folder;
    test::WriteBytes(folder / kHelpFileName, "<html>");
    const QStringList folders = {"/no/such/folder", QString::fromStdString(folder.path())};
    QString opened;
    const UrlOpener record = [&](const QUrl& url) { return opened = url.toString(), true; };
    EXPECT_TRUE(OpenHelp(folders, record, QStringLiteral("port")));
    EXPECT_EQ(opened.toStdString(), "file://" + (folder / kHelpFileName).string() + "#port");
    EXPECT_FALSE(OpenHelp({folders[0]}, record));
}

}  // namespace
}  // namespace reradav
