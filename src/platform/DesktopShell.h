#pragma once

#include "platform/Shell.h"

namespace tarnwick {

// The desktop's own handlers: the default browser or viewer for documents and
// addresses; the plain-text editor (notepad on Windows, the desktop's default
// application for the file elsewhere).
class DesktopShell : public Shell
{
public:
    void openDocument(const QString& pathOrUrl) override;
    void openInTextEditor(const QString& path) override;
};

} // namespace tarnwick
