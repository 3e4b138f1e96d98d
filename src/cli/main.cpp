// tarnwick-export: the wizard's export for scripts and schedulers, without a window.

#include "app/AppContext.h"
#include "app/Recordset.h"
#include "cli/Console.h"
#include "cli/ExportCommand.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

// Nobody is there to read a file the export offers to open; the questions
// are answered No, so nothing ever reaches this.
class NoShell : public tarnwick::Shell
{
public:
    bool openDocument(const QString&) override { return false; }
    bool openInTextEditor(const QString&) override { return false; }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-export"));

    QFile errorStream;
    if (!errorStream.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered,
                          QFileDevice::DontCloseHandle))
        return tarnwick::ExitStatus::NotRun;
    tarnwick::Console console(errorStream, tarnwick::Console::isTerminal(stderr));

    const tarnwick::ExportCommandOptions options =
        tarnwick::parseExportArguments(application.arguments().mid(1));
    if (options.help) {
        std::fputs(tarnwick::exportCommandUsage().toLocal8Bit().constData(), stdout);
        return tarnwick::ExitStatus::Success;
    }
    if (!options.error.isEmpty()) {
        console.line(QStringLiteral("tarnwick-export: ") + options.error);
        console.line(QStringLiteral("Run tarnwick-export --help for the options."));
        return tarnwick::ExitStatus::NotRun;
    }

    tarnwick::ConsoleUserInterface ui(console, tarnwick::ExitStatus::NotRun);
    NoShell shell;
    tarnwick::ProgramInfo program = tarnwick::ProgramInfo::current();
    // The log names the wizard: both write the same log, in the same folder.
    program.baseName = QStringLiteral("tarnwick");
    auto registry = tarnwick::createPlatformRegistry(program.folder);
    tarnwick::Clock clock;
    tarnwick::AppContext app(ui, shell, *registry, program, clock);
    tarnwick::ConsoleProgress progress(console);

    const int status = tarnwick::runExportCommand(app, options, progress, progress);
    app.log.CloseLogFile();
    if (!app.log.strLogFileName().isEmpty())
        console.line(QStringLiteral("Log: ") + app.log.strLogFileName());
    tarnwick::closeDatabaseConnections();
    return status;
}
