#pragma once

#include "platform/Shell.h"

#include <QStringList>

namespace tarnwick {

// The desktop's own handlers: the default browser or viewer for documents and
// addresses; the plain-text editor (notepad on Windows, elsewhere the
// desktop's default application for plain text, whatever the file's name
// says, so a CSV file never opens in a spreadsheet that evaluates formulas).
class DesktopShell : public Shell
{
public:
    bool openDocument(const QString& pathOrUrl) override;
    bool openInTextEditor(const QString& path) override;

    // The command lines (program and arguments) that the desktop's entries
    // for `mimeType` would run on `path`, the default first. Entries that
    // need a terminal are left out: nobody would see them.
    static QList<QStringList> desktopCommands(const QString& mimeType, const QString& path);
};

} // namespace tarnwick
