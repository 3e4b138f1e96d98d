// The wizard: checks the installation, then shows the welcome page.

#include "app/AppContext.h"
#include "app/Startup.h"
#include "app/WidgetUserInterface.h"
#include "app/Wizard.h"
#include "platform/DesktopShell.h"
#include "platform/Registry.h"

#include <QApplication>

#include <cstdio>

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

} // namespace

int main(int argc, char** argv)
{
    if (!haveDisplay()) {
        std::fputs("tarnwick: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                   "Run it from a desktop session, or on a machine without one under a virtual display:\n"
                   "  xvfb-run -a scripts/demo.sh\n"
                   "The headless command tarnwick-export runs the same export without any display.\n",
                   stderr);
        return 3;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
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
