#include "app/AppContext.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QtTest>

using namespace tarnwick;
using tarnwick::test::ExitRequested;
using tarnwick::test::TestEnvironment;

class TestSharedServices : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpPageMissingNamesTheFullPath()
    {
        TestEnvironment env;
        env.app->services.LaunchHelp();
        QCOMPARE(env.ui.texts(), QStringList({QStringLiteral("Unable to open help file at:") + env.folder()
                                              + QStringLiteral("/Tarnwick.htm")}));
        QCOMPARE(env.ui.shown.first().title, QStringLiteral("Tarnwick"));
        QVERIFY(env.shell.documents.isEmpty());
    }

    void helpPagePresentOpensWithTheShell()
    {
        TestEnvironment env;
        QFile page(env.path(QStringLiteral("Tarnwick.htm")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        env.app->services.LaunchHelp();
        QVERIFY(env.ui.shown.isEmpty());
        QCOMPARE(env.shell.documents, QStringList({env.folder() + QStringLiteral("/Tarnwick.htm")}));
    }

    void exitClosesAnOpenLogAndEnds()
    {
        TestEnvironment env;
        Logging& log = env.app->log;
        log.OpenLogFile(log.GenerateNewLogFileName(), false);
        QVERIFY(log.isOpen());
        try {
            env.app->services.ExitApplication();
            QFAIL("ExitApplication returned");
        } catch (const ExitRequested& exit) {
            QCOMPARE(exit.status, 0);
        }
        QVERIFY(!log.isOpen());
        QVERIFY(env.ui.shown.isEmpty());  // no log open or not: never a message
        QVERIFY_THROWS_EXCEPTION(ExitRequested, env.app->services.ExitApplication());
        QVERIFY(env.ui.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSharedServices)
#include "tst_sharedservices.moc"
