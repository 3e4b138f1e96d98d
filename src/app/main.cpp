// The wizard: checks the installation, then shows the welcome page.

#include "app/Wizard.h"
#include "platform/DesktopShell.h"
#include "platform/Registry.h"
#include "program/AppContext.h"
#include "program/Startup.h"
#include "widgets/WidgetUserInterface.h"

#include "tarnwick_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>
#include <optional>

namespace {

// Without a display Qt would abort with a terse platform error; say what to do instead.
bool haveDisplay()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

// The wizard takes no options of its own: --help and --version answer without
// opening a window. Returns the exit status when the process should end here.
std::optional<int> answerOptions(QCommandLineParser& parser, const QStringList& arguments)
{
    parser.setApplicationDescription(
        QStringLiteral("Exports the private distribution lists of an Orvane voice-messaging server to\n"
                       "CSV, through a three-page wizard. tarnwick-export does the same without windows."));
    parser.addHelpOption();
    parser.addVersionOption();
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tarnwick: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tarnwick: unexpected argument: %s\n", qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("tarnwick %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION_TEXT));
    if (!haveDisplay()) {
        // Options are answered without a display; anything else needs one.
        QCoreApplication core(argc, argv);
        QCommandLineParser parser;
        if (const std::optional<int> status = answerOptions(parser, QCoreApplication::arguments()))
            return *status;
        std::fputs("tarnwick: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                   "Run it from a desktop session, or on a machine without one under a virtual display:\n"
                   "  xvfb-run -a scripts/demo.sh\n"
                   "The headless command tarnwick-export runs the same export without any display.\n",
                   stderr);
        return 3;
    }
    QApplication application(argc, argv); // takes the toolkit's own options out of the arguments
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwick")); // where the window's place is kept
    QCommandLineParser parser;
    if (const std::optional<int> status = answerOptions(parser, QApplication::arguments()))
        return *status;
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tarnwick.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.orvane_community.Tarnwick"));
    QApplication::setQuitOnLastWindowClosed(false);  // pages hide each other; Exit ends the program

    tarnwick::WidgetUserInterface ui;
    tarnwick::DesktopShell shell;
    const tarnwick::ProgramInfo program = tarnwick::ProgramInfo::current();
    auto registry = tarnwick::createPlatformRegistry(program.folder);
    tarnwick::Clock clock;
    tarnwick::AppContext app(ui, shell, *registry, program, clock);

    tarnwick::RunStartupGates(app);  // ends the process when a gate fails

    tarnwick::Wizard wizard(app);
    wizard.start();
    const int status = QApplication::exec();
    app.log.CloseLogFile();
    return status;
}
