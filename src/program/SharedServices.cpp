#include "program/SharedServices.h"

#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "log/Logging.h"
#include "platform/ProgramInfo.h"
#include "platform/Shell.h"
#include "tarnwick_install.h"

#include <QDir>
#include <QFileInfo>

#include <cstdlib>

namespace tarnwick {

SharedServices::SharedServices(UserInterface& ui, Shell& shell, Logging& log, const ProgramInfo& program)
    : m_ui(ui), m_shell(shell), m_log(log), m_program(program)
{
}

void SharedServices::ShowMessage(const QString& text)
{
    m_ui.showMessage(text);
}

void SharedServices::ExitApplication(int status)
{
    StepRunner().run([&] { m_log.CloseLogFile(); });
    m_ui.exitProcess(status);
    std::abort();  // exitProcess never returns; this keeps the promise if one ever does
}

QString SharedServices::helpFilePath() const
{
    // A portable copy keeps the page beside the program; an installed one
    // keeps it with its documentation. Neither there: the place beside it is named.
    const QString beside = m_program.pathBeside(QStringLiteral("Tarnwick.htm"));
    const QString installed = QDir::toNativeSeparators(
        QDir::cleanPath(m_program.pathBeside(QStringLiteral(TARNWICK_DOCDIR_FROM_BINDIR "/Tarnwick.htm"))));
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed;
}

void SharedServices::LaunchHelp()
{
    StepRunner steps([this](const Failure& f) {
        m_ui.showMessage(ErrorText::errorInProcedure(f, QStringLiteral("LaunchHelp"), QStringLiteral("Module Module1")));
    });
    const QString path = helpFilePath();
    if (!QFileInfo::exists(path)) {
        m_ui.showMessage(QStringLiteral("Unable to open help file at:") + path);
        return;
    }
    // A desktop with no handler for the page would otherwise do nothing, silently.
    steps.run([&] {
        if (!m_shell.openDocument(path))
            m_ui.showMessage(QStringLiteral("No application could open the help file at:") + path);
    });
}

void SharedServices::ViewInTextEditor(const QString& path)
{
    if (!m_shell.openInTextEditor(path))
        m_ui.showMessage(QStringLiteral("Unable to open a text editor on the file at:") + path);
}

} // namespace tarnwick
