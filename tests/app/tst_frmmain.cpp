#include "app/Wizard.h"
#include "app/frmMain.h"
#include "select/frmChooseSubscribers.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

using namespace tarnwick;
using tarnwick::test::ExitRequested;
using tarnwick::test::TestEnvironment;

class TestFrmMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pageAsDesigned()
    {
        TestEnvironment env;
        Wizard wizard(*env.app);
        frmMain& page = wizard.welcomePage();
        QCOMPARE(page.windowTitle(), QStringLiteral("Tarnwick"));
        QCOMPARE(page.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Tarnwick"));
        QVERIFY(page.findChild<QLabel*>(QStringLiteral("Label1"))->font().bold());
        const QString description = page.findChild<QLabel*>(QStringLiteral("lblMain"))->text();
        QVERIFY(description.startsWith(QStringLiteral("The Tarnwick tool is designed to let administrators")));
        QVERIFY(description.endsWith(QStringLiteral("to the CSV output you select.  ")));
        QCOMPARE(page.centralWidget()->size(), QSize(760, 494));

        const QStringList order = {QStringLiteral("cmdExit"), QStringLiteral("cmdHelp"), QStringLiteral("cmdPrevious"),
                                   QStringLiteral("cmdNext")};
        const QStringList captions = {QStringLiteral("Exit"), QStringLiteral("Help"), QStringLiteral("<< Previous"),
                                      QStringLiteral("Next >>")};
        for (int i = 0; i < order.size(); ++i) {
            auto* b = page.findChild<QPushButton*>(order[i]);
            QVERIFY(b);
            QCOMPARE(b->text(), captions[i]);
            QCOMPARE(b->y(), 460);
            if (i + 1 < order.size()) {
                QWidget* next = b->nextInFocusChain();
                while (!qobject_cast<QPushButton*>(next))
                    next = next->nextInFocusChain();
                QCOMPARE(next->objectName(), order[i + 1]);
            }
        }
        QVERIFY(!page.findChild<QPushButton*>(QStringLiteral("cmdPrevious"))->isEnabled());

        QStringList menu;
        for (QAction* top : page.menuBar()->actions()) {
            menu << top->text();
            for (QAction* entry : top->menu()->actions())
                menu << QStringLiteral("  ") + (entry->isSeparator() ? QStringLiteral("-") : entry->text());
        }
        QCOMPARE(menu, QStringList({QStringLiteral("File"), QStringLiteral("  Exit"), QStringLiteral("Help"),
                                    QStringLiteral("  Help"), QStringLiteral("  -"), QStringLiteral("  About"),
                                    QStringLiteral("  Check for updated version")}));
    }

    void helpAndExit()
    {
        TestEnvironment env;
        Wizard wizard(*env.app);
        frmMain& page = wizard.welcomePage();
        page.findChild<QPushButton*>(QStringLiteral("cmdHelp"))->click();
        page.findChild<QAction*>(QStringLiteral("mnuHelp"))->trigger();
        QCOMPARE(env.ui.shown.size(), 2);
        QVERIFY(env.ui.shown[0].text.startsWith(QStringLiteral("Unable to open help file at:")));
        QVERIFY_THROWS_EXCEPTION(ExitRequested, page.findChild<QPushButton*>(QStringLiteral("cmdExit"))->click());
        QVERIFY_THROWS_EXCEPTION(ExitRequested, page.findChild<QAction*>(QStringLiteral("mnuExit"))->trigger());
    }

    void nextAndBackKeepThePosition()
    {
        TestEnvironment env;
        env.database().addCos(QStringLiteral("cos-1"), QStringLiteral("Default"));
        Wizard wizard(*env.app);
        wizard.start();
        frmMain& page = wizard.welcomePage();
        page.move(140, 90);
        const QPoint where = page.pos();
        page.findChild<QPushButton*>(QStringLiteral("cmdNext"))->click();
        QVERIFY(wizard.hasSelectionPage());
        QVERIFY(page.isHidden());
        QVERIFY(wizard.selectionPage().isVisible());
        QCOMPARE(wizard.selectionPage().pos(), where);

        wizard.selectionPage().move(200, 120);
        wizard.goToWelcome(wizard.selectionPage());
        QVERIFY(page.isVisible());
        QCOMPARE(page.pos(), QPoint(200, 120));
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
