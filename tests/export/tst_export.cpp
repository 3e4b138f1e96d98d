// The private list walk, the export run that drives it, and tarnwick-export; the first two again on PostgreSQL.
#include "ExportTestSupport.h"
#include "app/Recordset.h"
#include "app/Startup.h"

#include <QtSql>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

class TestExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
#ifdef EXPORT_ON_POSTGRES
    void initTestCase() // the reader may only SELECT: asked past the recordset, which sends nothing else anyway
    {
        PostgresDatabase pg;
        TARNWICK_REQUIRE_POSTGRES(pg);
        QSqlDatabase probe = QSqlDatabase::addDatabase("QODBC", "probe");
        probe.setDatabaseName(pg.connectionString());
        QVERIFY2(probe.open(), qPrintable(probe.lastError().text()));
        const QString refusal =
            probe.exec("INSERT INTO Cos (COSObjectID, TextName) VALUES ('x', 'x')").lastError().text();
        probe.close(); // so that the database can go
        QVERIFY2(refusal.contains("permission denied", Qt::CaseInsensitive), qPrintable(refusal));
    }
#endif
    // Any of the nine columns may need quotes; Python's csv reader gets back exactly the values written.
    // Without an output file every row is told.
    void writeSubInfoToFile()
    {
        const QStringList v{"a,1", "Zoë \"Z\"", "c\r\n3", "Łukasz, list", "e\n5", "PUBLIC LIST", "g'7,\"x\"", "", "\r"};
        const MemberRow row{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
        TestEnvironment env;
        TextFileWriter csv;
        PrivateListWalk walk(*env.app, csv);
        csv.open(env.path("row.csv"));
        walk.WriteSubInfoToFile(row);
        csv.close();
        const QString check = "import csv, sys; sys.exit(list(csv.reader(open(sys.argv[1], "
                              "newline='', encoding='utf-8'))) != [sys.argv[2:]])";
        QCOMPARE(QProcess::execute("python3", QStringList{"-c", check, env.path("row.csv")} + v), 0);
        walk.WriteSubInfoToFile(row);
        walk.WriteSubInfoToFile(row);
        QCOMPARE(env.ui.texts(), QStringList(2, u"Error in WriteSubInfoToFile on frmDumpInfo:Bad file mode"_s));
    }

    // A run over "S-OWNER", "S-'ANNA" (not ticked: visited and logged, never walked), "S-NOLISTS" and an id that
    // would end its quoted value early, after `sql` changed the fixture. The walk's failure lines lose their words.
    void run_data()
    {
        QTest::addColumn<QString>("sql"); // statements separated by ';'
        QTest::addColumn<QStringList>("csv");
        QTest::addColumn<QStringList>("log");
        const QStringList rows = fixtureCsvLines().mid(1), &log = kOwnerLog;
        const auto logOf = [](const QStringList& owner, const QString& others = kNoListsLine) {
            return QStringList("[1 of 4] Smith, John") + owner +
                   QStringList{"[2 of 4] Anna Müller", "[3 of 4] Nobody \"Nolists\"", others, "[4 of 4] X", others};
        };
        QStringList twice = rows, none = QStringList(rows).replaceInStrings(QRegularExpression("[^,]*$"), "");
        twice[0].chop(4); // Anna's extension
        // One more member, in the list whose own name and extension are null.
        const QString member = u"INSERT INTO PersonalDListMember (MemberSeq, ParentObjectID, "
                               "ObjectType, ObjectID, Alias, DisplayName) VALUES (99, 'L-EMPTY', "_s;
        const QString inEmpty = u"jsmith,\"Smith, John\",1001,,,"_s;
        const QString dbError = u"(error) -2147467259 in procedure ProcessPrivateDLMembers of Form frmDumpInfo"_s;
        QTest::newRow("as built") << "" << rows << logOf(log);
        QTest::newRow("subscriber extension found twice")
            << "DROP VIEW vw_Subscriber;CREATE VIEW vw_Subscriber AS SELECT * FROM Subscriber "
               "UNION ALL SELECT * FROM Subscriber"
            << twice << logOf(log);
        QTest::newRow("extension lookups fail quietly")
            << "DROP VIEW vw_Subscriber;DROP VIEW vw_DistributionList" << none << logOf(log);
        QTest::newRow("list query fails: the owner ends quietly")
            << "DROP VIEW vw_PersonalDList" << QStringList() << logOf({dbError}, dbError);
        QTest::newRow("member query fails: on to the next list")
            << "DROP VIEW vw_PersonalDListMember" << QStringList() << logOf({log[0], dbError, log[1], dbError});
        QTest::newRow("null alias: kept, with a warning")
            << member + "1, 'S-''ANNA', NULL, 'Anna')" << rows + QStringList(inEmpty + "SUBSCRIBER,,Anna,2002")
            << logOf({log[0], log[1],
                      "            (warning) Member without an alias written with an empty "
                      "MEMBER_ALIAS: member=Anna (ObjectID=S-'ANNA) in private list=empty"});
        QTest::newRow("null object id: row without extension")
            << member + "2, NULL, 'pl', NULL)" << rows + QStringList(inEmpty + "PUBLIC LIST,pl,,")
            << logOf({log[0], log[1], "(error) 94 in procedure ProcessPrivateDLMembers of Form frmDumpInfo"});
        QTest::newRow("null type: nothing") << member + "NULL, 'S-''ANNA', 'a', 'A')" << rows << logOf(log.mid(0, 2));
    }
    void run()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, csv);
        QFETCH(QStringList, log);
        ExportFixture d;
        for (const QString& statement : sql.split(u';', Qt::SkipEmptyParts))
            d.db->exec(statement);
#ifdef EXPORT_ON_POSTGRES
        d.db->exec("GRANT SELECT ON ALL TABLES IN SCHEMA public TO tarnwick_reader"); // a view made anew
#endif
        d.addRow("S-OWNER", "jsmith", "Smith, John", "1001");
        d.addRow("S-'ANNA", "amuller", "Anna Müller", "2002", false);
        d.addRow("S-NOLISTS", "nolists", "Nobody \"Nolists\"", "1002");
        d.addRow("x' OR '1'='1", "x", "X", "2");
        const QString out = d.env.path("lists out.csv"); // there already, and read-only: replaced without a question
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(2000, 'x')) == 2000 &&
                old.setPermissions(QFile::ReadOwner));
        old.close();
        const bool viewLog = sql.isEmpty(); // both questions come whatever the first answer
        d.answer({viewLog, !viewLog});
        QCOMPARE(d.run.run(out), ExportRun::Result::Completed);
        QVERIFY(!d.run.isRunning() && !d.app.log.isOpen());

        QCOMPARE(readFile(out), crlfFile(QStringList(MembershipCsv::kHeader) + csv));
        QCOMPARE(d.log(), log);
        QCOMPARE(d.captions, log.filter(QRegularExpression("^\\[")));
        QCOMPARE(d.values, QList<int>({0, 4, 0, 1, 2, 3, 4})); // the range, then each row
        // The walk's failures are logged and counted, never shown.
        const int errors = log.filter("(error)").size(), warnings = log.filter("(warning)").size();
        QCOMPARE(d.texts(), QStringList({ExportRun::completionMessage(errors, warnings), "View CSV output file now?"}));
        QVERIFY(d.shown[0].title == u"Export Complete"_s && d.shown[1].title == u"Tarnwick"_s);
        QCOMPARE(d.env.shell.editorFiles, QStringList(viewLog ? d.app.log.strLogFileName() : out));
    }

    // Told once, logged once and counted, no walk; the summary and questions still come.
    void outputThatCannotBeCreated()
    {
        ExportFixture d;
        QVERIFY(QDir(d.env.folder()).mkdir("a folder")); // not a file: nothing to replace
        d.addRow("S-OWNER", "jsmith", "Smith, John", "1001");
        QCOMPARE(d.run.run(d.env.path("a folder")), ExportRun::Result::Completed);
        QCOMPARE(d.texts().replaceInStrings(QRegularExpression("(?s):.+"), ":"),
                 QStringList(
                     {"Error in cmdDumpData_Click:", ExportRun::completionMessage(1, 0), "View CSV output file now?"}));
        QCOMPARE(d.log(), QStringList("(error) 76 in procedure cmdDumpData_Click of Form frmDumpInfo"));
    }

    // Row numbers and the caption's counts are not held to 16 bits. Then Exit during a run still closes the log.
    void gridPastSixteenBitsThenExit()
    {
        ExportFixture d;
        d.grid.setRedraw(false);
        for (int i = 1; i <= 40000; ++i)
            d.addRow({}, {}, u"Name %1"_s.arg(i), {}, false);
        d.run.run(d.env.path("out.csv"));
        QCOMPARE(d.log().size(), 40000);
        QCOMPARE(d.log()[32767], u"[32768 of 40000] Name 32768"_s);
        QCOMPARE(d.values.mid(0, 2), QList<int>({0, 40000}));
        d.onYield = [&] { d.app.services.ExitApplication(); };
        QVERIFY_THROWS_EXCEPTION(ExitRequested, d.run.run(d.env.path("out.csv")));
        QVERIFY(d.exits == 1 && !d.app.log.isOpen());
    }

#ifdef EXPORT_ON_POSTGRES
    // The server stops in the middle of an export over a generated organisation and starts again a second later.
    // Each query that finds the connection gone opens it again, waiting for the server, and is answered: the file
    // holds every row of a clean run and the log no error.
    void serverRestartsMidExport()
    {
        ExportFixture d;
        demo::GeneratorOptions options;
        options.subscribers = 120;
        demo::generateOrganisation(*d.db, options);
        Recordset owners;
        owners.open("SELECT SubscriberObjectID, Alias, DisplayName FROM vw_Subscriber ORDER BY Alias",
                    d.app.strConnectionString);
        for (owners.moveFirst(); !owners.atEnd(); owners.moveNext())
            d.addRow(owners.text(0), GetFieldString(owners, "Alias"), GetFieldString(owners, "DisplayName"), {});
        QVERIFY(d.grid.Rows() > 100);
        QCOMPARE(d.run.run(d.env.path("clean.csv")), ExportRun::Result::Completed);
        QVERIFY(d.log().filter("(error)").isEmpty());

        QProcess starter;
        int yields = 0;
        std::function<void()> restart = [&] {
            if (++yields < d.grid.Rows() / 2) { // half way through
                d.onYield = restart;
                return;
            }
            QVERIFY(PostgresDatabase::controlServer("stop").isEmpty());
            const QStringList start = PostgresDatabase::serverCommand("start");
            starter.start("bash", QStringList{"-c", "sleep 1 && exec \"$@\"", "start"} + start);
        };
        d.onYield = restart;
        QCOMPARE(d.run.run(d.env.path("restarted.csv")), ExportRun::Result::Completed);
        QVERIFY(starter.waitForFinished(60000) && starter.exitCode() == 0);
        QVERIFY2(d.log().filter("(error)").isEmpty(), qPrintable(d.log().filter("(error)").join('\n')));
        QCOMPARE(readFile(d.env.path("restarted.csv")), readFile(d.env.path("clean.csv")));
        QVERIFY(readFile(d.env.path("clean.csv")).count('\n') > 1000);
    }
#endif

#ifndef EXPORT_ON_POSTGRES
    // tarnwick-export itself in the fixture's folder; o.csv is written only for status 0 and 1.
    void command_data()
    {
        QTest::addColumn<QString>("arguments"); // separated by '|'
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // a part of stdout and stderr
        QTest::newRow("help") << "--help" << 0 << "--name-contains TEXT";
        // One line per row when stderr is no terminal; the questions are answered No.
        QTest::newRow("all") << "--all|--output|o.csv" << 0
                             << "[4 of 4] No Ext\n" + ExportRun::completionMessage(0, 0) + " [No]\n";
        QTest::newRow("range") << "--range|1001-1002|-o|o.csv" << 0 << "[2 of 2] Nobody";
        QTest::newRow("cos") << "--cos|Default|-o|o.csv" << 0 << "[4 of 4]";
        QTest::newRow("name contains") << "--name-contains|smith;müller|-o|o.csv" << 0 << "[2 of 2] Anna Müller";
        QTest::newRow("cos contains") << "--cos-contains|faul|-o|o.csv" << 0 << "[4 of 4]";
        QTest::newRow("csv") << "--csv|none.csv|-o|o.csv" << 2 << "Could not open CSV file";
        QTest::newRow("errors logged") << "--all|-o|o.csv" << 1 << ExportRun::completionMessage(1, 0);
        QTest::newRow("no output") << "--all" << 2 << "--output FILE\nRun tarnwick-export --help";
        QTest::newRow("no selection") << "-o|o.csv" << 2 << "Choose the subscribers with";
        QTest::newRow("two selections") << "--all|--cos|x|-o|o.csv" << 2 << "one way only, not with --all and --cos";
        QTest::newRow("stray argument") << "--all|x|-o|o.csv" << 2 << "Unexpected argument: x";
        QTest::newRow("range without a dash") << "--range|100|-o|o.csv" << 2 << "LOW-HIGH";
        QTest::newRow("range with a sign") << "--range|-5-10|-o|o.csv" << 2 << "must be strictly higher than the lower";
        QTest::newRow("failed start-up check") << "--all|-o|o.csv" << 2 << kVersionGateMessage;
        QTest::newRow("unknown cos") << "--cos|Nope|-o|o.csv" << 2 << "No class of service is named \"Nope\"";
        QTest::newRow("nobody chosen") << "--name-contains|zzz|-o|o.csv" << 2 << "select at least one user";
    }
    void command()
    {
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        TestEnvironment env;
        buildWalkFixture(env.database());
        const QByteArray tag = QTest::currentDataTag();
        if (tag == "errors logged")
            env.database().addMember("L-EMPTY", 1, std::nullopt, "x", "X"); // a member without object id
        const auto [exitCode, shown] = runExportBinary(                     // an old version fails the start-up check
            env.folder(), arguments.split(u'|'),
            TestEnvironment::registryText(0x00040000, tag == "failed start-up check" ? 0x00030063 : 0x00030064));
        QVERIFY2(exitCode == status && shown.contains(output), qPrintable(QString::number(exitCode) + u'\n' + shown));
        QCOMPARE(QFile::exists(env.path("o.csv")), status < 2 && arguments != "--help");
    }
#endif
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
