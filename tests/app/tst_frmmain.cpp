// Start-up and the welcome page: the version and Domino gates, the page's texts, buttons and menus, Next and back
// keeping the window's place, Help and Exit with the shared services behind them.
#include "app/Startup.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "select/frmChooseSubscribers.h"
#include "support/ProgramEnd.h"
#include "support/TestEnvironment.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarnwick;
using namespace tarnwick::test;

const QString kTooOld = "This version of Tarnwick only runs on Orvane 4.0(3) and later.  Existing application...";
const QString kNoDomino = "This version of Tarnwick only works with Exchange based Orvane installs - Domino is not "
                          "supported.  Existing application.";
const QString kDomino = "KestraneDsDomino.KestraneIDCDomino.1", kExchange = "KestraneDsExchange.KestraneIDCExchange.1";
static QString at(std::uint32_t v, std::uint32_t b, QString idc) { return TestEnvironment::registryText(v, b, idc); }

class TestFrmMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gates_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<QString>("message"); // empty: the gates pass
        const QString key = "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\SystemParameters\\1.0]\r\n";
        QTest::newRow("4.0(3.100) Exchange") << at(0x00040000, 0x00030064, kExchange) << "";
        QTest::newRow("4.0(3.99)") << at(0x00040000, 0x00030063, kExchange) << kTooOld;
        QTest::newRow("no version values")
            << "Windows Registry Editor Version 5.00\r\n" + key + "\"IDCProgID\"=\"" + kExchange + '"' << kTooOld;
        // The version gate comes first, so an old Domino install hears only of its version.
        QTest::newRow("old Domino install") << at(0x00040000, 0x00020000, kDomino) << kTooOld;
        QTest::newRow("Domino") << at(0x00040000, 0x00030064, kDomino) << kNoDomino;
        QTest::newRow("Domino in lower case") << at(0x00040000, 0x00030064, kDomino.toLower()) << kNoDomino;
        QTest::newRow("IDCProgID key missing") << TestEnvironment::registryText() << "";
        QTest::newRow("value missing") << TestEnvironment::registryText() + key + "\"Other\"=\"" + kDomino + '"' << "";
        QTest::newRow("Domino id with more text") << at(0x00040000, 0x00030064, kDomino + 'x') << "";
    }

    void gates()
    {
        QFETCH(QString, registry);
        QFETCH(QString, message);
        TestEnvironment env(registry);
        const bool passes = message.isEmpty();
        if (passes)
            RunStartupGates(*env.app);
        else
            QVERIFY_THROWS_EXCEPTION(ExitRequested, RunStartupGates(*env.app));
        QCOMPARE(env.ui.texts(), passes ? QStringList() : QStringList{message});
        QCOMPARE(env.ui.shown.value(0).title, passes ? "" : "Tarnwick");
        // Set only once both gates have passed.
        QCOMPARE(env.app->strConnectionString, passes ? "Driver={SQL Server};server=;database=OrvaneDb" : "");
    }

    void welcomePage()
    {
        TestEnvironment env;
        env.database().addCos("cos-1", "Default"); // the selection page needs one to load
        Wizard wizard(*env.app);
        wizard.start();
        frmMain& page = wizard.welcomePage();
        QCOMPARE(page.windowTitle(), "Tarnwick");
        QCOMPARE(page.findChild<QLabel*>("Label1")->text(), "Tarnwick");
        QCOMPARE(page.findChild<QLabel*>("lblMain")->text(),
                 "The Tarnwick tool is designed to let administrators generate complete membership lists of all "
                 "private distribution lists owned by some or all subscribers on a Orvane voice mail server.  The "
                 "tool will walk through all private lists for selected subscribers and export every user and "
                 "distribution list that is a member of a private list owned by those subscriber to the CSV "
                 "output you select.  ");
        QCOMPARE(page.centralWidget()->size(), QSize(760, 494));
        QStringList tabOrder;
        for (QWidget* w = page.findChild<QPushButton*>("cmdExit"); tabOrder.size() < 4; w = w->nextInFocusChain())
            if (auto* button = qobject_cast<QPushButton*>(w))
                tabOrder << button->objectName() + ' ' + button->text();
        QCOMPARE(tabOrder, QStringList({"cmdExit Exit", "cmdHelp Help", "cmdPrevious << Previous", "cmdNext Next >>"}));
        QVERIFY(!page.findChild<QPushButton*>("cmdPrevious")->isEnabled());
        QStringList menu;
        for (QAction* top : page.menuBar()->actions())
            for (QAction* entry : top->menu()->actions())
                menu << top->text() + '/' + (entry->isSeparator() ? "-" : entry->text());
        QCOMPARE(menu.join(", "), "File/Exit, Help/Help, Help/-, Help/About, Help/Check for updated version");

        // Next and back keep the window's place.
        page.move(140, 90);
        const QPoint where = page.pos();
        page.findChild<QPushButton*>("cmdNext")->click();
        QVERIFY(page.isHidden() && wizard.selectionPage().isVisible());
        QCOMPARE(wizard.selectionPage().pos(), where);
        wizard.selectionPage().move(200, 120);
        wizard.goToWelcome(wizard.selectionPage());
        QVERIFY(page.isVisible());
        QCOMPARE(page.pos(), QPoint(200, 120));

        // Help and Exit, on the buttons and in the menu, call the shared services.
        const QString help = env.folder() + "/Tarnwick.htm";
        page.findChild<QPushButton*>("cmdHelp")->click();
        QCOMPARE(env.ui.texts(), QStringList{"Unable to open help file at:" + help});
        QVERIFY(QFile(help).open(QIODevice::WriteOnly));
        page.findChild<QAction*>("mnuHelp")->trigger();
        QCOMPARE(env.shell.documents, QStringList{help});

        env.app->log.OpenLogFile(env.app->log.GenerateNewLogFileName(), false);
        const auto logState = [&] { return env.app->log.isOpen() ? QString("log open") : QString("log closed"); };
        const auto clickExit = [&] { page.findChild<QPushButton*>("cmdExit")->click(); };
        QCOMPARE(runToProgramEnd(env.ui, clickExit, logState), (ProgramEnd{0, "log closed"}));
        // With no log open Exit ends the program all the same, and never with a message.
        env.app->log.CloseLogFile();
        QCOMPARE(runToProgramEnd(env.ui, [&] { page.findChild<QAction*>("mnuExit")->trigger(); }).status, 0);
        QCOMPARE(env.ui.shown.size(), 1);
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
