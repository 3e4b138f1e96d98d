#pragma once

#include "update/HomePage.h"

#include <QString>

#include <functional>

class QEventLoop;

namespace tarnwick {

class Shell;
class UserInterface;
struct ProgramInfo;

// Compares the running version with the one published on the home page and
// tells the administrator the outcome. Runs on request only; keeps nothing
// between runs.
class UpdateCheck
{
public:
    // Access types of GetUrlText: the system's proxy settings, or none.
    static constexpr qint32 kAccessPreconfigured = 0;
    static constexpr qint32 kAccessDirect = 1;

    UpdateCheck(UserInterface& ui, Shell& shell, const ProgramInfo& program, HomePage home = HomePage::fromBuild());

    // Shows one of three outcomes; for a newer version, offers to open the page.
    // Nothing after a cancel.
    void CheckForUpdatedVersion();
    // The download lets the window work on while it waits; this is told
    // when the wait begins (true) and ends (false), to show that it checks.
    void setWaitShown(std::function<void(bool)> shown) { m_waitShown = std::move(shown); }
    // Gives up the download at once; the check then says nothing.
    void cancel();
    bool cancelled() const { return m_cancelled; }
    // The published version widened by PadVersionString, or empty.
    QString GetHomePageVersion(const QString& url);
    // The same, read from a page already downloaded.
    QString PageVersion(const QString& text);
    // The whole page as 8-bit text in the system code page; empty on any failure.
    QString GetUrlText(const QString& url, qint32 accessType);
    // Widens every dotted part to at least four digits so that the texts
    // compare as versions: "1.0.1" becomes "0001.0000.0001".
    QString PadVersionString(const QString& text);

private:
    UserInterface& m_ui;
    Shell& m_shell;
    const ProgramInfo& m_program;
    HomePage m_home;
    std::function<void(bool)> m_waitShown;
    QEventLoop* m_waiting = nullptr;
    bool m_cancelled = false;
};

} // namespace tarnwick
