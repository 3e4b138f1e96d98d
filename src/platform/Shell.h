#pragma once

#include <QString>

namespace tarnwick {

// What the operating system's shell does for the program: open a document or
// address with its default handler, and open a file in the plain-text editor.
// Results are not examined by callers, so neither returns one.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void openDocument(const QString& pathOrUrl) = 0;
    virtual void openInTextEditor(const QString& path) = 0;
};

} // namespace tarnwick
