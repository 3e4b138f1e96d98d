#include "export/PrivateListWalk.h"

#include "ExportTestSupport.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;
using namespace Qt::StringLiterals;

class TestPrivateListWalk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Any of the nine columns may need quotes; Python's csv reader gets every value back.
    void everyColumnReadsBack()
    {
        const MemberRow row{u"a,1"_s,          u"Zoë \"Z\""_s, u"c\r\n3"_s,
                            u"Łukasz, list"_s, u"e\n5"_s,      u"PUBLIC LIST"_s,
                            u"g'7,\"x\""_s,    QString(),      u"\r"_s};
        QCOMPARE(MembershipCsv::line(row), u"\"a,1\",\"Zoë \"\"Z\"\"\",\"c\r\n3\",\"Łukasz, list\","
                                           "\"e\n5\",PUBLIC LIST,\"g'7,\"\"x\"\"\",,\"\r\""_s);
        QTemporaryDir dir;
        TextFileWriter csv;
        csv.open(dir.filePath(u"row.csv"_s));
        csv.writeLine(MembershipCsv::line(row));
        csv.close();
        QProcess python;
        python.start(u"python3"_s, {u"-c"_s,
                                    u"import csv, json, sys\n"
                                    "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                    "    json.dump(list(csv.reader(f)), sys.stdout)"_s,
                                    dir.filePath(u"row.csv"_s)});
        QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
        const QJsonArray records = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].toVariant().toStringList(),
                 QStringList({row.ownerAlias, row.ownerDisplayName, row.ownerExtension,
                              row.listName, row.listId, row.memberType, row.memberAlias,
                              row.memberDisplayName, row.memberExtension}));
    }

    // "S-OWNER", "S-NOLISTS" and an id that would end its quoted value early,
    // after the fixture was changed by `sql`. Failure lines are cut to "(error) N".
    void fixtureOwners_data()
    {
        QTest::addColumn<QStringList>("sql");
        QTest::addColumn<QStringList>("csv");
        QTest::addColumn<QStringList>("log");
        const QStringList rows = fixtureCsvLines().mid(1), &log = kOwnerLog;
        const QStringList end{kNoListsLine, kNoListsLine};
        QStringList twice = rows, none;
        twice[0].chop(4);
        for (const QString& row : rows)
            none.append(row.left(row.lastIndexOf(u',') + 1));
        // A member in the list whose own name and extension are null.
        const QString member =
            u"INSERT INTO PersonalDListMember (MemberSeq, ParentObjectID, "
            "ObjectType, ObjectID, Alias, DisplayName) VALUES (99, 'L-EMPTY', "_s;
        const QString inEmpty = u"jsmith,\"Smith, John\",1001,,,"_s;
        const QString dbError = u"(error) -2147467259"_s;
        QTest::newRow("as built") << QStringList() << rows << log + end;
        QTest::newRow("subscriber extension found twice")
            << QStringList{u"DROP VIEW vw_Subscriber"_s,
                           u"CREATE VIEW vw_Subscriber AS SELECT * FROM Subscriber UNION ALL "
                           "SELECT * FROM Subscriber"_s}
            << twice << log + end;
        QTest::newRow("extension lookups fail quietly")
            << QStringList{u"DROP VIEW vw_Subscriber"_s, u"DROP VIEW vw_DistributionList"_s} << none
            << log + end;
        QTest::newRow("list query fails: the owner ends quietly")
            << QStringList{u"DROP VIEW vw_PersonalDList"_s} << QStringList()
            << QStringList(3, dbError);
        QTest::newRow("member query fails: on to the next list")
            << QStringList{u"DROP VIEW vw_PersonalDListMember"_s} << QStringList()
            << QStringList{log[0], dbError, log[1], dbError} + end;
        QTest::newRow("null alias: kept, with a warning")
            << QStringList{member + u"1, 'S-''ANNA', NULL, 'Anna')"_s}
            << rows + QStringList{inEmpty + u"SUBSCRIBER,,Anna,2002"_s}
            << QStringList{log[0], log[1],
                           u"            (warning) Member without an alias written with an empty "
                           "MEMBER_ALIAS: member=Anna (ObjectID=S-'ANNA) in private list=empty"_s} +
                   end;
        QTest::newRow("null object id: row without extension")
            << QStringList{member + u"2, NULL, 'pl', NULL)"_s}
            << rows + QStringList{inEmpty + u"PUBLIC LIST,pl,,"_s}
            << QStringList{log[0], log[1], u"(error) 94"_s} + end;
        QTest::newRow("null type: nothing")
            << QStringList{member + u"NULL, 'S-''ANNA', 'a', 'A')"_s} << rows
            << QStringList{log[0], log[1]} + end;
    }
    void fixtureOwners()
    {
        QFETCH(QStringList, sql);
        QFETCH(QStringList, csv);
        QFETCH(QStringList, log);
        TestEnvironment env;
        buildWalkFixture(env.database());
        for (const QString& statement : sql)
            env.database().exec(statement);
        TextFileWriter out;
        PrivateListWalk walk(*env.app, out);
        env.app->log.OpenLogFile(env.path(u"walk.log"_s), false);
        out.open(env.path(u"out.csv"_s));
        walk.ProcessPrivateDLMembers(u"S-OWNER"_s, u"jsmith"_s, u"Smith, John"_s, u"1001"_s);
        walk.ProcessPrivateDLMembers(u"S-NOLISTS"_s, u"n"_s, u"N"_s, u"1002"_s);
        walk.ProcessPrivateDLMembers(u"x' OR '1'='1"_s, u"x"_s, u"X"_s, u"2"_s);
        out.close();
        env.app->log.CloseLogFile();

        QCOMPARE(readFile(env.path(u"out.csv"_s)), crlfFile(csv));
        QStringList written = logBody(env.path(u"walk.log"_s));
        for (QString& line : written) {
            if (line.startsWith(u"(error) "_s) &&
                line.endsWith(u") in procedure ProcessPrivateDLMembers of Form frmDumpInfo"_s))
                line = line.section(u' ', 0, 1);
        }
        QCOMPARE(written, log);
        QCOMPARE(env.app->log.intErrorCount(), log.filter(u"(error)"_s).size());
        QCOMPARE(env.app->log.intWarningCount(), log.filter(u"(warning)"_s).size());
        QVERIFY(env.ui.shown.isEmpty()); // logged, never shown
    }

    void writeFailureIsShownPerRow()
    {
        TestEnvironment env;
        TextFileWriter closed;
        PrivateListWalk walk(*env.app, closed);
        walk.WriteSubInfoToFile(MemberRow{});
        walk.WriteSubInfoToFile(MemberRow{});
        QCOMPARE(env.ui.texts(),
                 QStringList(2, u"Error in WriteSubInfoToFile on frmDumpInfo:Bad file mode"_s));
    }
};

QTEST_GUILESS_MAIN(TestPrivateListWalk)
#include "tst_privatelistwalk.moc"
