#include "program/Startup.h"

#include "base/StepRunner.h"
#include "install/RegistryAPI.h"
#include "program/AppContext.h"

namespace tarnwick {

void RunStartupGates(AppContext& app)
{
    StepRunner steps([&app](const Failure& f) {
        app.services.ShowMessage(ErrorText::inProcedure(f, QStringLiteral("Form_Load"), QStringLiteral("Form frmMain")));
    });
    steps.run([&] { app.InstalledVersion = getVersion(app.registry, app.ui); });

    if (!bIsVersionGreaterThanOrEqualTo(app.InstalledVersion, 4, 0, 3, 100)) {
        app.services.ShowMessage(kVersionGateMessage);
        app.services.ExitApplication(1);
    }

    QString directoryType;
    steps.run([&] {
        directoryType = registryValueToText(ReadRegistryValue(
            app.registry, kHkeyLocalMachine, QStringLiteral("SOFTWARE\\Kestrane\\SystemParameters\\1.0"),
            QStringLiteral("IDCProgID"), 1));
    });
    if (directoryType.compare(kDominoProgId, Qt::CaseInsensitive) == 0) {
        app.services.ShowMessage(kDominoGateMessage);
        app.services.ExitApplication(1);
    }

    app.strConnectionString = kConnectionString;
}

} // namespace tarnwick
