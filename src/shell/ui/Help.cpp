#include "shell/ui/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace reradav {

namespace {

// The docs folder of the source tree this was built from: a build run in place finds its help.
QString SourceDocsDir() {
    return QString::fromUtf8(RERADAV_SOURCE_DOCS_DIR);
}

}  // namespace

QStringList HelpFolders(const QString& programDir, const QString& sourceDocsDir) {
    QStringList folders;
    if (!programDir.isEmpty()) {
        folders << programDir
                << QDir::cleanPath(programDir + QStringLiteral("/../share/doc/reradav"));
    }
    if (!sourceDocsDir.isEmpty()) {
        folders << sourceDocsDir;
    }
    return folders;
}

QStringList DefaultHelpFolders() {
    return HelpFolders(QCoreApplication::applicationDirPath(), SourceDocsDir());
}

QString FindHelpFile(const QStringList& folders) {
    for (const QString& folder : folders) {
        const QFileInfo file(QDir(folder), QString::fromLatin1(kHelpFileName));
        if (file.isFile() && file.isReadable()) {
            return file.absoluteFilePath();
        }
    }
    return {};
}

bool OpenHelp(const QStringList& folders, const UrlOpener& open) {
    const QString file = FindHelpFile(folders);
    if (file.isEmpty() || !open) {
        return false;
    }
    return open(QUrl::fromLocalFile(file));
}

bool OpenHelp() {
    return OpenHelp(DefaultHelpFolders(),
                    [](const QUrl& url) { return QDesktopServices::openUrl(url); });
}

}  // namespace reradav
