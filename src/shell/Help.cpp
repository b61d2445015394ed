#include "shell/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace reradav {

namespace {

// Resolved when this file was compiled, so only meaningful for a build run in place.
QString SourceDocsDir() {
    const QFileInfo source(QString::fromUtf8(__FILE__));
    if (!source.isAbsolute()) {
        return {};
    }
    return QDir::cleanPath(source.absolutePath() + QStringLiteral("/../../docs"));
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
