// The welcome page's "Check for updated version" runs the check with the
// program's own version (1.0.1), its messages and its shell.
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "support/TestEnvironment.h"
#include "update/ScriptedHttpServer.h"

#include <QAction>
#include <QTest>

class TestUpdateMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuEntryRunsTheCheck_data()
    {
        QTest::addColumn<QString>("published");
        QTest::addColumn<QString>("expected");
        QTest::newRow("same version") << "1.0.1" << "You have the most up to date version of this tool installed";
        QTest::newRow("newer version, OK")
            << "1.0.2" << "An updated version of this tool is available on tools.test.example.  Click OK to open the "
                          "application home page now";
    }

    void menuEntryRunsTheCheck()
    {
        QFETCH(QString, published);
        QFETCH(QString, expected);
        tarnwick::test::ScriptedHttpServer server;
        server.serve("/Tarnwick.htm", {200, tarnwick::test::versionPage(published.toLatin1()), false});
        tarnwick::test::TestEnvironment env;
        env.app->homePage = {server.url("/Tarnwick.htm"), "tools.test.example", std::chrono::seconds(5)};
        tarnwick::Wizard wizard(*env.app);
        env.ui.answer({true});
        wizard.welcomePage().findChild<QAction*>("mnuCheckForUpdatedVersion")->trigger();
        QCOMPARE(env.ui.texts(), QStringList{expected});
        QCOMPARE(env.shell.documents, published == "1.0.2" ? QStringList{server.url("/Tarnwick.htm")} : QStringList());
    }
};

QTEST_MAIN(TestUpdateMenu)
#include "tst_updatemenu.moc"
