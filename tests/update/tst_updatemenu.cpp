// The welcome page's "Check for updated version" runs the check with the program's own version (1.0.1), its
// messages and its shell.
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "support/TestEnvironment.h"
#include "update/ScriptedHttpServer.h"

#include <QAction>
#include <QTest>

using namespace tarnwick::test;

class TestUpdateMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuEntryRunsTheCheck()
    {
        ScriptedHttpServer server;
        TestEnvironment env;
        env.app->homePage = {server.url("/Tarnwick.htm"), "tools.test.example", std::chrono::seconds(5)};
        tarnwick::Wizard wizard(*env.app);
        env.ui.answer({true});
        // The same version is up to date, the next revision is offered and opened on OK.
        for (const char* published : {"1.0.1", "1.0.2"}) {
            server.serve("/Tarnwick.htm", {200, versionPage(published), false});
            wizard.welcomePage().findChild<QAction*>("mnuCheckForUpdatedVersion")->trigger();
        }
        QCOMPARE(env.ui.texts(), (QStringList{"You have the most up to date version of this tool installed",
                                              "An updated version of this tool is available on tools.test.example.  "
                                              "Click OK to open the application home page now"}));
        QCOMPARE(env.shell.documents, QStringList{server.url("/Tarnwick.htm")});
    }
};

QTEST_MAIN(TestUpdateMenu)
#include "tst_updatemenu.moc"
