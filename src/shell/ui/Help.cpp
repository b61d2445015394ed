#include "shell/ui/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
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

bool OpenHelp(const QStringList& folders, const UrlOpener& open, const QString& section) {
    const QString file = FindHelpFile(folders);
    if (file.isEmpty() || !open) {
        return false;
    }
    QUrl url = QUrl::fromLocalFile(file);
    if (!section.isEmpty()) {
        url.setFragment(section);
    }
    return open(url);
}

// The browser's chatter is not ours to pass on: xdg-open's output goes nowhere.
bool OpenHelp(const QString& section) {
    return OpenHelp(
        DefaultHelpFolders(),
        [](const QUrl& url) {
            const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
            if (opener.isEmpty()) {
                return QDesktopServices::openUrl(url);
            }
            QProcess browser;
            browser.setProgram(opener);
            browser.setArguments({url.toString()});
            browser.setStandardOutputFile(QProcess::nullDevice());
            browser.setStandardErrorFile(QProcess::nullDevice());
            return browser.startDetached();
        },
        section);
}

}  // namespace reradav
