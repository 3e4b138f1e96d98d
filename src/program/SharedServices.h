#pragma once

#include <QString>

namespace tarnwick {

class Logging;
class Shell;
class UserInterface;
struct ProgramInfo;

// The small routines every page uses: a message in front of the
// administrator, the program's one orderly end, and the help page.
class SharedServices
{
public:
    SharedServices(UserInterface& ui, Shell& shell, Logging& log, const ProgramInfo& program);

    void ShowMessage(const QString& text);
    // Closes the log if one is open and ends the process at once.
    [[noreturn]] void ExitApplication(int status = 0);
    // Opens "Tarnwick.htm" beside the program (else in the installed
    // documentation folder) with the system's handler.
    void LaunchHelp();
    // Opens a file (the log, the CSV output) as text in the plain-text editor.
    void ViewInTextEditor(const QString& path);
    QString helpFilePath() const;

private:
    UserInterface& m_ui;
    Shell& m_shell;
    Logging& m_log;
    const ProgramInfo& m_program;
};

} // namespace tarnwick
