#include "app/Startup.h"
#include "support/TestEnvironment.h"

#include <QtTest>

using namespace tarnwick;
using tarnwick::test::TestEnvironment;

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gates_data();
    void gates();
};

void TestStartup::gates_data()
{
    QTest::addColumn<QString>("registry");
    QTest::addColumn<QString>("message");  // empty: the gates pass

    const QString tooOld = QStringLiteral("This version of Tarnwick only runs on Orvane 4.0(3) and later.  Existing application...");
    const QString noDomino = QStringLiteral("This version of Tarnwick only works with Exchange based Orvane installs - "
                                            "Domino is not supported.  Existing application.");
    const QString domino = QStringLiteral("KestraneDsDomino.KestraneIDCDomino.1");
    const QString exchange = QStringLiteral("KestraneDsExchange.KestraneIDCExchange.1");
    QTest::newRow("4.0(3.100) Exchange") << TestEnvironment::registryText(0x00040000, 0x00030064, exchange)
                                         << QString();
    QTest::newRow("5.0(0.0)") << TestEnvironment::registryText(0x00050000, 0, exchange) << QString();
    QTest::newRow("4.0(3.99)") << TestEnvironment::registryText(0x00040000, 0x00030063, exchange)
                               << tooOld;
    QTest::newRow("no version values")
        << QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\SystemParameters\\1.0]\r\n"
                          "\"IDCProgID\"=\"%1\"\r\n")
               .arg(exchange)
        << tooOld;
    // The version gate comes first, so an old Domino install hears only of its version.
    QTest::newRow("old Domino install") << TestEnvironment::registryText(0x00040000, 0x00020000, domino)
                                        << tooOld;
    QTest::newRow("Domino") << TestEnvironment::registryText(0x00040000, 0x00030064, domino) << noDomino;
    QTest::newRow("Domino in lower case") << TestEnvironment::registryText(0x00040000, 0x00030064, domino.toLower())
                                          << noDomino;
    QTest::newRow("Domino in upper case") << TestEnvironment::registryText(0x00040000, 0x00030064, domino.toUpper())
                                          << noDomino;
    QTest::newRow("IDCProgID key missing") << TestEnvironment::registryText(0x00040000, 0x00030064) << QString();
    QTest::newRow("IDCProgID value missing")
        << TestEnvironment::registryText(0x00040000, 0x00030064)
               + QStringLiteral("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\SystemParameters\\1.0]\r\n\"Other\"=\"%1\"\r\n")
                     .arg(domino)
        << QString();
    QTest::newRow("IDCProgID empty") << TestEnvironment::registryText(0x00040000, 0x00030064, QLatin1String(""))
                                     << QString();
    QTest::newRow("Domino id with more text") << TestEnvironment::registryText(0x00040000, 0x00030064, domino + QLatin1Char('x'))
                                              << QString();
}

void TestStartup::gates()
{
    QFETCH(QString, registry);
    QFETCH(QString, message);

    TestEnvironment env(registry);
    bool exited = false;
    try {
        RunStartupGates(*env.app);
    } catch (const test::ExitRequested&) {
        exited = true;
    }

    if (message.isEmpty()) {
        QVERIFY(!exited);
        QVERIFY(env.ui.shown.isEmpty());
        QCOMPARE(env.app->strConnectionString, QStringLiteral("Driver={SQL Server};server=;database=OrvaneDb"));
    } else {
        QVERIFY(exited);
        QCOMPARE(env.ui.texts(), QStringList{message});
        QCOMPARE(env.ui.shown.first().title, QStringLiteral("Tarnwick"));
        QVERIFY(env.app->strConnectionString.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
