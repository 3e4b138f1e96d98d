#include "export/PrivateListWalk.h"

#include "ExportTestSupport.h"
#include "support/TestEnvironment.h"

#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

// A walk with an open log and an open output file in the test's folder.
struct WalkRun
{
    explicit WalkRun(TestEnvironment& environment) : env(environment), walk(*environment.app, csv)
    {
        env.app->log.OpenLogFile(env.path(QStringLiteral("walk.log")), false);
        csv.open(env.path(QStringLiteral("out.csv")));
    }
    void finish()
    {
        csv.close();
        env.app->log.CloseLogFile();
    }
    QStringList csvLines() const { return crlfLines(env.path(QStringLiteral("out.csv"))); }
    QStringList logLines() const { return logBody(env.path(QStringLiteral("walk.log"))); }

    TestEnvironment& env;
    TextFileWriter csv;
    PrivateListWalk walk;
};

const QString kFailureTail =
    QStringLiteral(") in procedure ProcessPrivateDLMembers of Form frmDumpInfo");

} // namespace

class TestPrivateListWalk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvField_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << QStringLiteral("Anna Müller") << QStringLiteral("Anna Müller");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("blanks kept") << QStringLiteral(" 300 ") << QStringLiteral(" 300 ");
        QTest::newRow("comma") << QStringLiteral("Smith, John")
                               << QStringLiteral("\"Smith, John\"");
        QTest::newRow("quote") << QStringLiteral("Board \"inner\"")
                               << QStringLiteral("\"Board \"\"inner\"\"\"");
        QTest::newRow("only a quote") << QStringLiteral("\"") << QStringLiteral("\"\"\"\"");
        QTest::newRow("CR") << QStringLiteral("a\rb") << QStringLiteral("\"a\rb\"");
        QTest::newRow("LF") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
        QTest::newRow("single quote") << QStringLiteral("o'brien") << QStringLiteral("o'brien");
    }
    void csvField()
    {
        QFETCH(QString, value);
        QFETCH(QString, written);
        QCOMPARE(MembershipCsv::field(value), written);
    }

    // Any of the nine columns may need quotes; a CSV reader gets every value back.
    void everyColumnReadsBack()
    {
        const MemberRow row{QStringLiteral("a,1"),       QStringLiteral("Zoë \"Z\""),
                            QStringLiteral("c\r\n3"),    QStringLiteral("Łukasz, list"),
                            QStringLiteral("e\n5"),      QStringLiteral("PUBLIC LIST"),
                            QStringLiteral("g'7,\"x\""), QString(),
                            QStringLiteral("\r")};
        QCOMPARE(MembershipCsv::line(row),
                 QStringLiteral("\"a,1\",\"Zoë \"\"Z\"\"\",\"c\r\n3\",\"Łukasz, list\",\"e\n5\","
                                "PUBLIC LIST,\"g'7,\"\"x\"\"\",,\"\r\""));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("row.csv"));
        TextFileWriter csv;
        csv.open(path);
        csv.writeLine(MembershipCsv::kHeader);
        csv.writeLine(MembershipCsv::line(row));
        csv.close();
        const QList<QStringList> records = readCsvWithPython(path);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[1], QStringList({row.ownerAlias, row.ownerDisplayName, row.ownerExtension,
                                          row.listName, row.listId, row.memberType, row.memberAlias,
                                          row.memberDisplayName, row.memberExtension}));
    }

    void fixtureRowsAndRemarks()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        WalkRun run(env);
        run.walk.ProcessPrivateDLMembers(QStringLiteral("S-OWNER"), QStringLiteral("jsmith"),
                                         QStringLiteral("Smith, John"), QStringLiteral("1001"));
        run.walk.ProcessPrivateDLMembers(QStringLiteral("S-NOLISTS"), QStringLiteral("nolists"),
                                         QStringLiteral("Nobody"), QStringLiteral("1002"));
        run.finish();

        QCOMPARE(run.csvLines().join(QStringLiteral("\r\n")),
                 fixtureCsvLines().mid(1).join(QStringLiteral("\r\n")));
        QCOMPARE(readCsvWithPython(env.path(QStringLiteral("out.csv"))),
                 fixtureCsvRecords().mid(1));
        QCOMPARE(run.logLines(),
                 QStringList({
                     QStringLiteral("        Processing private list=team"),
                     QStringLiteral("        Processing private list=empty"),
                     QStringLiteral("            No members found for this private list"),
                     QStringLiteral("    No private lists configured for this subscriber"),
                 }));
        QCOMPARE(env.app->log.intErrorCount(), 0);
        QCOMPARE(env.app->log.intWarningCount(), 0);
        QVERIFY(env.ui.shown.isEmpty());
    }

    // One member, shaped by SQL values, in a list of its own.
    void oddMembers_data()
    {
        QTest::addColumn<QString>("values");  // ObjectType, ObjectID, Alias, DisplayName
        QTest::addColumn<QString>("csvLine"); // empty: no row
        QTest::addColumn<QString>(
            "logLine"); // the line after "Processing private list=", empty: none
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("warnings");
        const QString owner = QStringLiteral("own,Owner,9,Odd list,55,");
        QTest::newRow("null alias kept, with a warning")
            << QStringLiteral("1, 'S-ANNA', NULL, 'Anna'")
            << owner + QStringLiteral("SUBSCRIBER,,Anna,2002")
            << QStringLiteral("            (warning) Member without an alias written with an empty "
                              "MEMBER_ALIAS: "
                              "member=Anna (ObjectID=S-ANNA) in private list=odd")
            << 0 << 1;
        QTest::newRow("null object id: row without extension")
            << QStringLiteral("2, NULL, 'pl', 'PL'") << owner + QStringLiteral("PUBLIC LIST,pl,PL,")
            << QStringLiteral("(error) 94 (Invalid use of Null") + kFailureTail << 1 << 0;
        QTest::newRow("null type: nothing")
            << QStringLiteral("NULL, 'S-ANNA', 'a', 'A'") << QString() << QString() << 0 << 0;
    }
    void oddMembers()
    {
        QFETCH(QString, values);
        QFETCH(QString, csvLine);
        QFETCH(QString, logLine);
        QFETCH(int, errors);
        QFETCH(int, warnings);
        TestEnvironment env;
        buildWalkFixture(env.database());
        env.database().addPrivateList(QStringLiteral("L-ODD"), QStringLiteral("S-ODD"),
                                      QStringLiteral("odd"), QStringLiteral("Odd list"),
                                      QStringLiteral("55"));
        env.database().exec(
            QStringLiteral(
                "INSERT INTO PersonalDListMember (MemberSeq, ParentObjectID, ObjectType, "
                "ObjectID, Alias, DisplayName) VALUES (1000, 'L-ODD', %1)")
                .arg(values));
        WalkRun run(env);
        run.walk.ProcessPrivateDLMembers(QStringLiteral("S-ODD"), QStringLiteral("own"),
                                         QStringLiteral("Owner"), QStringLiteral("9"));
        run.finish();

        QCOMPARE(run.csvLines(), csvLine.isEmpty() ? QStringList() : QStringList{csvLine});
        QStringList expectedLog{QStringLiteral("        Processing private list=odd")};
        if (!logLine.isEmpty())
            expectedLog.append(logLine);
        QCOMPARE(run.logLines(), expectedLog);
        QCOMPARE(env.app->log.intErrorCount(), errors);
        QCOMPARE(env.app->log.intWarningCount(), warnings);
    }

    void failingListQueryEndsTheOwnerQuietly()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        env.database().exec(QStringLiteral("DROP VIEW vw_PersonalDList"));
        WalkRun run(env);
        run.walk.ProcessPrivateDLMembers(QStringLiteral("S-OWNER"), QStringLiteral("jsmith"),
                                         QStringLiteral("J"), QStringLiteral("1"));
        run.finish();
        const QStringList log = run.logLines();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log[0].startsWith(QStringLiteral("(error) ")) && log[0].endsWith(kFailureTail),
                 qPrintable(log[0]));
        QVERIFY(run.csvLines().isEmpty());
        QCOMPARE(env.app->log.intErrorCount(), 1);
        QVERIFY(env.ui.shown.isEmpty()); // logged, never shown
    }

    void failingMemberQueryGoesOnWithTheNextList()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        env.database().exec(QStringLiteral("DROP VIEW vw_PersonalDListMember"));
        WalkRun run(env);
        run.walk.ProcessPrivateDLMembers(QStringLiteral("S-OWNER"), QStringLiteral("jsmith"),
                                         QStringLiteral("J"), QStringLiteral("1"));
        run.finish();
        const QStringList log = run.logLines();
        QCOMPARE(log.size(), 4);
        QCOMPARE(log[0], QStringLiteral("        Processing private list=team"));
        QVERIFY(log[1].startsWith(QStringLiteral("(error) ")) && log[1].endsWith(kFailureTail));
        QCOMPARE(log[2], QStringLiteral("        Processing private list=empty"));
        QVERIFY(log[3].startsWith(QStringLiteral("(error) ")));
        QCOMPARE(env.app->log.intErrorCount(), 2);
    }

    void quotesInIdsReachTheDatabaseIntact()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        env.database().addPrivateList(QStringLiteral("L-'Q"), QStringLiteral("S-'Q"),
                                      QStringLiteral("q"), QStringLiteral("Q"),
                                      QStringLiteral("7"));
        env.database().addMember(QStringLiteral("L-'Q"), 1, QStringLiteral("S-ANNA"),
                                 QStringLiteral("amuller"), QStringLiteral("Anna"));
        WalkRun run(env);
        run.walk.ProcessPrivateDLMembers(QStringLiteral("S-'Q"), QStringLiteral("q"),
                                         QStringLiteral("Q"), QStringLiteral("1"));
        // An id that would end the quoted value early finds nothing, and breaks nothing.
        run.walk.ProcessPrivateDLMembers(QStringLiteral("x' OR '1'='1"), QStringLiteral("x"),
                                         QStringLiteral("X"), QStringLiteral("2"));
        run.finish();
        QCOMPARE(run.csvLines(),
                 QStringList{QStringLiteral("q,Q,1,Q,7,SUBSCRIBER,amuller,Anna,2002")});
        QCOMPARE(run.logLines().last(),
                 QStringLiteral("    No private lists configured for this subscriber"));
        QCOMPARE(env.app->log.intErrorCount(), 0);
    }

    void extensionLookups_data()
    {
        QTest::addColumn<bool>("publicList");
        QTest::addColumn<QString>("objectId");
        QTest::addColumn<QString>("extension");
        QTest::newRow("subscriber, blanks trimmed")
            << false << QStringLiteral("S-ANNA") << QStringLiteral("2002");
        QTest::newRow("subscriber not found") << false << QStringLiteral("S-GHOST") << QString();
        QTest::newRow("subscriber without extension")
            << false << QStringLiteral("S-NOEXT") << QString();
        QTest::newRow("subscriber found twice") << false << QStringLiteral("S-OWNER") << QString();
        QTest::newRow("public list, as stored")
            << true << QStringLiteral("P-ALL") << QStringLiteral(" 300 ");
        QTest::newRow("public list not found") << true << QStringLiteral("P-GHOST") << QString();
    }
    void extensionLookups()
    {
        QFETCH(bool, publicList);
        QFETCH(QString, objectId);
        QFETCH(QString, extension);
        TestEnvironment env;
        buildWalkFixture(env.database());
        // A view that answers twice for one subscriber.
        env.database().exec(QStringLiteral("DROP VIEW vw_Subscriber"));
        env.database().exec(QStringLiteral(
            "CREATE VIEW vw_Subscriber AS SELECT SubscriberObjectID, DTMFAccessID FROM Subscriber "
            "UNION ALL SELECT SubscriberObjectID, DTMFAccessID FROM Subscriber WHERE "
            "SubscriberObjectID='S-OWNER'"));
        TextFileWriter csv;
        PrivateListWalk walk(*env.app, csv);
        QCOMPARE(publicList ? walk.GetPublicListExtension(objectId)
                            : walk.GetSubscriberExtension(objectId),
                 extension);
        QVERIFY(env.ui.shown.isEmpty());
    }

    void lookupsStayQuietWhenTheDatabaseFails()
    {
        TestEnvironment env;
        env.app->strConnectionString = QStringLiteral("Driver={No Such Driver};database=nowhere");
        TextFileWriter csv;
        PrivateListWalk walk(*env.app, csv);
        QCOMPARE(walk.GetSubscriberExtension(QStringLiteral("S")), QString());
        QCOMPARE(walk.GetPublicListExtension(QStringLiteral("P")), QString());
        QVERIFY(env.ui.shown.isEmpty());
    }

    void writeFailureIsShownPerRow()
    {
        TestEnvironment env;
        TextFileWriter closed;
        PrivateListWalk walk(*env.app, closed);
        walk.WriteSubInfoToFile(MemberRow{});
        walk.WriteSubInfoToFile(MemberRow{});
        QCOMPARE(env.ui.texts(),
                 QStringList(2, QStringLiteral(
                                    "Error in WriteSubInfoToFile on frmDumpInfo:Bad file mode")));
    }
};

QTEST_GUILESS_MAIN(TestPrivateListWalk)
#include "tst_privatelistwalk.moc"
