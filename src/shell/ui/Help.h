#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QUrl;

namespace reradav {

constexpr const char* kHelpFileName = "Reradav.html";

// Where the help document is looked for, in order: beside the program (a portable copy), the
// installed doc folder (<prefix>/share/doc/reradav beside <prefix>/bin), the source tree's
// docs folder (a build run in place). An empty folder is left out.
QStringList HelpFolders(const QString& programDir, const QString& sourceDocsDir);

// The defaults: the running program's folder and this source tree's docs folder.
QStringList DefaultHelpFolders();

// The first readable Reradav.html in `folders`; empty when there is none.
QString FindHelpFile(const QStringList& folders);

// Opens a local file in the desktop's browser; false when nothing could open it.
using UrlOpener = std::function<bool(const QUrl&)>;

// Opens the help document at a section (its id, e.g. "port"), else at its start page. False
// when it is missing or no browser could open it; the program carries on either way and may
// say so.
bool OpenHelp(const QStringList& folders, const UrlOpener& open, const QString& section = {});
bool OpenHelp(const QString& section = {});

}  // namespace reradav
