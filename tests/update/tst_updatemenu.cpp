#include "app/Wizard.h"
#include "app/frmMain.h"
#include "support/TestEnvironment.h"
#include "update/ScriptedHttpServer.h"

#include <QAction>
#include <QTest>

using namespace tarnwick;
using namespace tarnwick::test;

// The welcome page's "Check for updated version" runs the check with the
// program's own version, its messages and its shell.
class TestUpdateMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuEntryRunsTheCheck_data();
    void menuEntryRunsTheCheck();
};

void TestUpdateMenu::menuEntryRunsTheCheck_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("published");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("opened");

    QTest::newRow("same version") << QByteArray("/Tarnwick.htm") << QByteArray("1.0.1")
                                  << "You have the most up to date version of this tool installed"
                                  << false;
    QTest::newRow("newer version, OK") << QByteArray("/Tarnwick.htm") << QByteArray("1.0.2")
                                       << "An updated version of this tool is available on "
                                          "tools.test.example.  Click OK to open the "
                                          "application home page now"
                                       << true;
    QTest::newRow("missing page")
        << QByteArray("/Elsewhere.htm") << QByteArray("1.0.2")
        << "Unable to contact application home page to check for version.  You can access the home "
           "page and "
           "check for updated versions of all Brenlow Orvane tools by going to tools.test.example"
        << false;
}

void TestUpdateMenu::menuEntryRunsTheCheck()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, published);
    QFETCH(QString, expected);
    QFETCH(bool, opened);

    ScriptedHttpServer server;
    QVERIFY(server.isListening());
    server.serve("/Tarnwick.htm", {200, versionPage(published), false});

    TestEnvironment env;
    env.app->homePage =
        HomePage{server.url(path), QStringLiteral("tools.test.example"), std::chrono::seconds(5)};
    Wizard wizard(*env.app);
    frmMain& main = wizard.welcomePage();
    auto* entry = main.findChild<QAction*>(QStringLiteral("mnuCheckForUpdatedVersion"));
    QVERIFY(entry);

    env.ui.answer({true});
    entry->trigger();
    QCOMPARE(env.ui.texts(), QStringList{expected});
    QCOMPARE(env.shell.documents, opened ? QStringList{server.url(path)} : QStringList());
}

QTEST_MAIN(TestUpdateMenu)
#include "tst_updatemenu.moc"
