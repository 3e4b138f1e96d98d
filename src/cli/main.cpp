// tarnwick-export: the wizard's export for scripts and schedulers, without a window.

#include "base/Recordset.h"
#include "cli/Console.h"
#include "cli/ExportCommand.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Terminal.h"
#include "program/AppContext.h"
#include "tarnwick_version.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>

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
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION_TEXT));

    QFile errorStream;
    if (!errorStream.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered,
                          QFileDevice::DontCloseHandle))
        return tarnwick::ExitStatus::NotRun;
    tarnwick::Console console(errorStream, tarnwick::Terminal::isTerminal(stderr),
                              [] { return tarnwick::Terminal::columns(stderr); });

    const tarnwick::ExportCommandOptions options =
        tarnwick::parseExportArguments(application.arguments().mid(1));
    using Action = tarnwick::ExportCommandOptions::Action;
    if (options.action == Action::Help) {
        std::fputs(tarnwick::exportCommandUsage().toLocal8Bit().constData(), stdout);
        return tarnwick::ExitStatus::Success;
    }
    if (options.action == Action::Version) {
        std::printf("tarnwick-export %s\n", TARNWICK_VERSION_TEXT);
        return tarnwick::ExitStatus::Success;
    }
    if (!options.error.isEmpty()) {
        console.line(QStringLiteral("tarnwick-export: ") + options.error);
        console.line(QStringLiteral("Run tarnwick-export --help for the options."));
        return tarnwick::ExitStatus::NotRun;
    }

    tarnwick::ConsoleUserInterface ui(console, tarnwick::ExitStatus::NotRun, options.quiet);
    NoShell shell;
    tarnwick::ProgramInfo program = tarnwick::ProgramInfo::current();
    // The log names the wizard: both write the same log, in the same folder.
    program.baseName = QStringLiteral("tarnwick");
    auto registry = tarnwick::createPlatformRegistry(program.folder);
    tarnwick::Clock clock;
    tarnwick::AppContext app(ui, shell, *registry, program, clock);
    tarnwick::ConsoleProgress progress(console, options.quiet);

    // First where the log goes: beside the program, or the per-user folder.
    if (!options.quiet)
        console.line(QStringLiteral("Log folder: ") + app.log.logFolder());
    tarnwick::ExportSummary summary;
    const int status = tarnwick::runExportCommand(app, ui, options, progress, progress, summary);
    app.log.CloseLogFile();
    // The last line names the log only when there is one; quiet, only when it has something to read.
    if (!app.log.logWritten()) {
        if (!app.log.strLogFileName().isEmpty())
            console.line(QStringLiteral("No log file was written."));
    } else if (!options.quiet || status != tarnwick::ExitStatus::Success) {
        console.line(QStringLiteral("Log: ") + app.log.strLogFileName());
    }
    if (options.summaryJson) {
        std::fputs((summary.toJson() + '\n').constData(), stdout);
        std::fflush(stdout);
    }
    // A read left in a driver that never came back holds its thread and
    // connection: nothing is waited for or closed then.
    if (tarnwick::readsLeftBehind()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    tarnwick::closeDatabaseConnections();
    return status;
}
