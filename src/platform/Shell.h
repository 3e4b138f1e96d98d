#pragma once

#include <QString>

namespace tarnwick {

// What the operating system's shell does for the program: open a document or
// address with its default handler, and open a file in the plain-text editor.
// Each says whether the desktop could open it; callers that open a file say
// so to the administrator when it could not.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual bool openDocument(const QString& pathOrUrl) = 0;
    virtual bool openInTextEditor(const QString& path) = 0;
};

} // namespace tarnwick
