// The private list walk, the export run that drives it, and tarnwick-export; the first two again on PostgreSQL.
#include "ExportTestSupport.h"
#include "base/Recordset.h"
#include "base/SqlText.h"
#include "export/ExportComparison.h"
#include "program/Startup.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"

#include <QtSql>
#include <QtTest>

#include <clocale>
#include <pwd.h>

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
        Recordset scans; // every scan from a table's start, whatever another session's scan is at
        scans.open("SELECT current_setting('synchronize_seqscans')", pg.connectionString());
        QCOMPARE(scans.text(0), u"off"_s);
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
#ifndef EXPORT_ON_POSTGRES // SQLite's collations
        // Ids stored in another letter case or with trailing blanks: the database matches them, as the product's does
        // (its ids indexed in that collation, so that a list's members come in one order either way).
        QTest::newRow("ids matched by the database")
            << "DROP VIEW vw_PersonalDList;CREATE VIEW vw_PersonalDList AS SELECT ParentObjectID COLLATE NOCASE AS "
               "ParentObjectID, Alias AS alias, PersonalDListObjectID COLLATE NOCASE AS PersonalDListOBjectID, "
               "DisplayName, DTMFAccessID FROM PersonalDList;DROP VIEW vw_PersonalDListMember;CREATE VIEW "
               "vw_PersonalDListMember AS SELECT ParentObjectID COLLATE NOCASE AS ParentObjectID, ObjectType, "
               "ObjectID, "
               "Alias, DisplayName FROM PersonalDListMember;DROP VIEW vw_Subscriber;CREATE VIEW vw_Subscriber AS "
               "SELECT SubscriberObjectID COLLATE RTRIM AS SubscriberObjectID, DTMFAccessID FROM Subscriber;"
               "UPDATE PersonalDList SET ParentObjectID = lower(ParentObjectID), PersonalDListObjectID = "
               "lower(PersonalDListObjectID);UPDATE PersonalDListMember SET ObjectID = ObjectID || '  ' WHERE "
               "ObjectType = 1;"
               "CREATE INDEX ix_ci_pdl ON PersonalDList (ParentObjectID COLLATE NOCASE);"
               "CREATE INDEX ix_ci_pdlm ON PersonalDListMember (ParentObjectID COLLATE NOCASE, MemberSeq)"
            << rows << logOf(log);
        // Values as SQLite holds them, whatever the column's type: a type is the number held (4294967298 and
        // 1.9999999 are neither kind) or no number (the walk's failed comparison, then the subscriber branch); an
        // extension beyond 32 bits and a name starting with U+FEFF come through as they are, on both paths.
        const QString memberAt = u"INSERT INTO PersonalDListMember (MemberSeq, ParentObjectID, ObjectType, ObjectID, "
                                 "Alias, DisplayName) VALUES ("_s;
        QTest::newRow("member types as held")
            << memberAt + "97, 'L-EMPTY', 4294967298, 'S-''ANNA', 'a', 'A');" + memberAt +
                   "98, 'L-EMPTY', 1.9999999, 'S-''ANNA', 'b', 'B');" + memberAt +
                   "99, 'L-EMPTY', 'x1', 'S-''ANNA', 'c', 'C')"
            << rows + QStringList(inEmpty + "SUBSCRIBER,c,C,2002")
            << logOf({log[0], log[1], "(error) 13 in procedure ProcessPrivateDLMembers of Form frmDumpInfo"});
        QStringList held = rows;
        held[0] = held[0].replace(u"Anna Müller,2002"_s, QChar(0xFEFF) + u"Anna Müller,3000000000"_s);
        QTest::newRow("extension and name as held")
            << "UPDATE Subscriber SET DTMFAccessID = 3000000000 WHERE SubscriberObjectID = 'S-''ANNA';"
               "UPDATE PersonalDListMember SET DisplayName = char(65279) || DisplayName WHERE Alias = 'amuller'"
            << held << logOf(log);
#endif
        // A lookup the database refuses is logged and counted; its row is kept without an extension.
        const auto refused = [](const QString& who, const QString& id) {
            return (u"            (error) -2147467259 looking up the extension of member="_s + who +
                    " (ObjectID=" + id + ") in private list=team; written with an empty MEMBER_EXTENSION")
                .split("\r\n");
        };
        const QStringList anna = refused("Anna Müller", "S-'ANNA"), ghost = refused("Ghost\r\nLine", "S-GHOST"),
                          noExt = refused("No Ext", "S-NOEXT");
        QTest::newRow("extension lookups fail: logged")
            << "DROP VIEW vw_Subscriber;DROP VIEW vw_DistributionList" << none
            << logOf(QStringList{log[0]} + anna + refused("All \"Staff\"", "P-'ALL") + ghost + noExt +
                     refused("", "P-GHOST") + log.mid(1));
#ifdef EXPORT_ON_POSTGRES
        QTest::newRow("extension lookups refused: logged")
            << "REVOKE SELECT ON vw_Subscriber FROM tarnwick_reader" << twice
            << logOf(QStringList{log[0]} + anna + ghost + noExt + log.mid(1));
#endif
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
        // One query per row, the reference, then in sets: the same file, log and progress; also with one owner to a
        // chunk (each read while the one before is walked) and ids too long to ask together (walked row by row).
        QByteArray referenceCsv;
        QStringList referenceLog;
        for (const qsizetype perChunk : {0, 1000, 1}) {
            const bool perRow = perChunk == 0;
            ExportFixture d;
            d.app.perRowQueries = perRow;
            d.app.ownersPerChunk = perChunk;
            if (perChunk == 1)
                d.app.idCharactersPerChunk = 8;
            QStringList refusals;
            for (const QString& statement : sql.split(u';', Qt::SkipEmptyParts)) {
                if (statement.startsWith("REVOKE"))
                    refusals << statement;
                else
                    d.db->exec(statement);
            }
#ifdef EXPORT_ON_POSTGRES
            d.db->exec("GRANT SELECT ON ALL TABLES IN SCHEMA public TO tarnwick_reader"); // a view made anew
#endif
            for (const QString& statement : std::as_const(refusals))
                d.db->exec(statement);
            d.addRow("S-OWNER", "jsmith", "Smith, John", "1001");
            d.addRow("S-'ANNA", "amuller", "Anna Müller", "2002", false);
            d.addRow("S-NOLISTS", "nolists", "Nobody \"Nolists\"", "1002");
            d.addRow("x' OR '1'='1", "x", "X", "2");
            const QString out = d.env.path("lists out.csv"); // there already, and read-only: replaced, no question
            QVERIFY(!writeFile(out, QByteArray(2000, 'x')).isEmpty() && QFile::setPermissions(out, QFile::ReadOwner));
            const bool viewLog = sql.isEmpty(); // both questions come whatever the first answer
            d.answer({viewLog, !viewLog});
            const qint64 queriesBefore = databaseQueryCount();
            QCOMPARE(d.run.run(out), ExportRun::Result::Completed);
            const qint64 queries = databaseQueryCount() - queriesBefore;
            QVERIFY(!d.run.isRunning() && !d.app.log.isOpen());

            QCOMPARE(readFile(out), crlfFile(QStringList(MembershipCsv::kHeader) + csv));
            QCOMPARE(d.log(), log);
            QCOMPARE(d.captions, log.filter(QRegularExpression("^\\[")));
            QCOMPARE(d.values, QList<int>({0, 4, 0, 1, 2, 3, 4})); // the range, then each row
            // The walk's failures are logged and counted, never shown.
            const int errors = log.filter("(error)").size(), warnings = log.filter("(warning)").size();
            QCOMPARE(d.texts(),
                     QStringList({ExportRun::completionMessage(errors, warnings), "View CSV output file now?"}));
            QVERIFY(d.shown[0].title == u"Export Complete"_s && d.shown[1].title == u"Tarnwick"_s);
            QCOMPARE(d.env.shell.editorFiles, QStringList(viewLog ? d.app.log.strLogFileName() : out));
            if (perRow) {
                referenceCsv = readFile(out);
                referenceLog = d.log();
                continue;
            }
            QCOMPARE(readFile(out), referenceCsv);
            QCOMPARE(d.log(), referenceLog);
            // The first read, which fixes the state read; one chunk of owners: which lists are whose, the lists;
            // their ids, the members, which lists the members' stored list ids are, the two kinds of extension.
            if (viewLog && perChunk == 1000)
                QCOMPARE(queries, 8);
        }
    }

    // A list's members come in the order the database gives for that list's own member query, read by the
    // database's own command-line tool, on both paths, whatever the member table's indexes and storage order.
    void memberOrder_data()
    {
        QTest::addColumn<QString>("sql"); // statements separated by ';'
        // The members stored again, in an order that is neither their id's nor their lists'.
        const QString stored = u"DROP VIEW vw_PersonalDListMember;CREATE TABLE Members AS SELECT * FROM "
                               "PersonalDListMember ORDER BY DisplayName DESC, MemberSeq;CREATE VIEW "
                               "vw_PersonalDListMember AS SELECT ParentObjectID, ObjectType, ObjectID, Alias, "
                               "DisplayName FROM Members;"_s;
        QTest::newRow("as built") << "";
        QTest::newRow("unindexed, stored out of id order") << stored;
        QTest::newRow("index on the list id") << stored + "CREATE INDEX ix_m_list ON Members (ParentObjectID)";
        QTest::newRow("index on the list id and the id")
            << stored + "CREATE INDEX ix_m_list ON Members (ParentObjectID, MemberSeq)";
#ifdef EXPORT_ON_POSTGRES
        QTest::newRow("clustered on the name")
            << stored + "CREATE INDEX ix_m_list ON Members (ParentObjectID, MemberSeq);CREATE INDEX ix_m_name ON "
                        "Members (DisplayName);CLUSTER Members USING ix_m_name";
#endif
    }
    void memberOrder()
    {
        QFETCH(QString, sql);
        ExportFixture d;
        demo::generateOrganisation(*d.db, {200, 3, 15, 11, false});
        for (const QString& statement : sql.split(u';', Qt::SkipEmptyParts))
            d.db->exec(statement);
#ifdef EXPORT_ON_POSTGRES
        d.db->exec("GRANT SELECT ON ALL TABLES IN SCHEMA public TO tarnwick_reader");
        d.db->exec("ANALYZE");
        const QStringList tool{
            "psql",     "-XqAt", "-h127.0.0.1", "-Utarnwick_reader", "-p" + QString::number(PostgresDatabase::port()),
            d.pg.name()};
        qputenv("PGPASSWORD", PostgresDatabase::readerPassword().toUtf8());
#else
        const QStringList tool{"sqlite3", d.env.path("OrvaneDb")};
#endif
        // One query per owner, then one per list, each as the walk asks it.
        const auto ask = [&](const QString& query, const QStringList& ids) {
            QProcess process;
            process.start(tool.first(), tool.mid(1));
            for (const QString& id : ids)
                process.write((query + sqlQuoted(id) + ";\n").toUtf8());
            process.closeWriteChannel();
            if (!process.waitForFinished(60000) || process.exitCode() != 0)
                qWarning() << process.readAllStandardError();
            return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        };
        QStringList owners;
        {
            QSqlQuery q(d.db->connection());
            QVERIFY(q.exec("SELECT SubscriberObjectID FROM Subscriber"));
            while (q.next())
                owners << q.value(0).toString();
        }
        for (const QString& owner : std::as_const(owners))
            d.addRow(owner, "o", "O", "1");
        const QStringList lists =
            ask("SELECT PersonalDListOBjectID FROM vw_PersonalDList WHERE ParentObjectID=", owners);
        // The walk writes the members of the two types it knows.
        const QStringList expected =
            ask("SELECT ObjectType, Alias FROM vw_PersonalDListMember WHERE ParentObjectID=", lists)
                .filter(QRegularExpression("^[12]\\|"))
                .replaceInStrings(QRegularExpression("^.\\|"), "");
        QVERIFY(expected.size() > 1000);
        for (const bool perRow : {true, false}) {
            d.app.perRowQueries = perRow;
            d.answer({false, false});
            QCOMPARE(d.run.run(d.env.path("o.csv")), ExportRun::Result::Completed);
            QProcess aliases;
            aliases.start("python3", {"-c",
                                      "import csv, sys; print('\\n'.join(r[6] for r in list(csv.reader(open("
                                      "sys.argv[1], newline='', encoding='latin-1')))[1:]))",
                                      d.env.path("o.csv")});
            QVERIFY(aliases.waitForFinished(60000));
            QCOMPARE(QString::fromLatin1(aliases.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts), expected);
        }
    }

    // The output cannot be made, or must not be: told once, logged once and counted, no walk, no offer of a file
    // that was not written; the output refused as this run's own log before anything is opened.
    void outputFailures_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<QStringList>("log");
        const QString failed = u"(error) %1 in procedure cmdDumpData_Click of Form frmDumpInfo"_s;
        QTest::newRow("a folder in the way")
            << "a folder"
            << QStringList({"Error in cmdDumpData_Click:Path/File access error", ExportRun::completionMessage(1, 0)})
            << QStringList(failed.arg(75));
        QTest::newRow("no such folder") << "none/o.csv"
                                        << QStringList({"Error in cmdDumpData_Click:Path not found",
                                                        ExportRun::completionMessage(1, 0)})
                                        << QStringList(failed.arg(76));
        QTest::newRow("this run's log") << "logs/Tarnwick_Log_20261206_14_03_27.TXT" << QStringList("own log")
                                        << QStringList();
    }
    void outputFailures()
    {
        QFETCH(QString, target);
        QFETCH(QStringList, told);
        QFETCH(QStringList, log);
        ExportFixture d;
        QVERIFY(QDir(d.env.folder()).mkpath("a folder") && QDir(d.env.folder()).mkpath("logs"));
        d.addRow("S-OWNER", "jsmith", "Smith, John", "1001");
        d.addRow("S-NOLISTS", "nolists", "Nobody \"Nolists\"", "1002");
        const QString out = d.env.path(target);
        const QByteArray before = readFile(out);
        const bool ownLog = told == QStringList("own log");
        QCOMPARE(d.run.run(out), ownLog ? ExportRun::Result::OutputIsLog : ExportRun::Result::Completed);
        QCOMPARE(d.texts(), ownLog ? QStringList(ExportRun::outputIsLogMessage(out)) : told);
        QCOMPARE(readFile(out), before);
        QCOMPARE(QDir(d.env.folder()).entryList({"*.csv*"}, QDir::Files), QStringList());
        QCOMPARE(d.log(), log);
        QVERIFY(!d.app.log.isOpen());
    }

#ifdef EXPORT_ON_POSTGRES
    // The database fails in the middle of an export over a generated organisation, read through a proxy that can
    // black-hole or reset the connections. A server that stops and starts again a second later is waited for: each
    // query that finds the connection gone opens it again and is answered, so the file holds every row of a clean
    // run and the log no error. A network that stops answering meets the query limit; a server that cannot be
    // reached again ends the run: in bounded time, with one error line, the previous file kept.
    void serverRestartsMidExport_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("line"); // the one error line's beginning; empty for none
        QTest::addColumn<int>("seconds");  // at most, from the fault to the end of the run
        QTest::newRow("restart") << "restart" << QString() << 60;
        QTest::newRow("black hole") << "black hole"
                                    << "(error) The database did not answer a query within 2 seconds (server " << 5;
        QTest::newRow("reset, unreachable for good")
            << "reset" << "(error) The database cannot be reached any more (server " << 14;
    }
    void serverRestartsMidExport()
    {
        QFETCH(QString, fault);
        QFETCH(QString, line);
        QFETCH(int, seconds);
        ExportFixture d;
        QProcess proxy; // ends before the fixture drops the database
        proxy.start("python3",
                    {TARNWICK_SOURCE_DIR "/tests/support/fault_proxy.py", QString::number(PostgresDatabase::port())});
        QVERIFY(proxy.waitForReadyRead(10000));
        const int proxyPort = proxy.readLine().trimmed().toInt();
        QVERIFY(proxyPort > 0);
        d.app.strConnectionString = PostgresDatabase::connectionString(d.pg.name(), "tarnwick_reader",
                                                                       PostgresDatabase::readerPassword(), proxyPort);
        d.app.ownersPerChunk = 10; // chunks are still read after the fault
        setReadLimits(2, 2);
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
        const QByteArray previous = "previous\r\n";
        QVERIFY(!writeFile(d.env.path("faulted.csv"), previous).isEmpty());

        QProcess starter;
        QElapsedTimer sinceFault;
        int yields = 0;
        std::function<void()> strike = [&] {
            if (++yields < d.grid.Rows() / 2) { // half way through
                d.onYield = strike;
                return;
            }
            sinceFault.start();
            if (fault == "restart") {
                QVERIFY(PostgresDatabase::controlServer("stop").isEmpty());
                const QStringList start = PostgresDatabase::serverCommand("start");
                starter.start("bash", QStringList{"-c", "sleep 1 && exec \"$@\"", "start"} + start);
            } else {
                QVERIFY(proxy.processId() > 0); // kill(0, ...) would signal this test's whole process group
                ::kill(pid_t(proxy.processId()), fault == "black hole" ? SIGUSR1 : SIGUSR2);
            }
        };
        d.onYield = strike;
        const ExportRun::Result result = d.run.run(d.env.path("faulted.csv"));
        const qint64 elapsed = sinceFault.elapsed();
        setReadLimits(kDefaultConnectSeconds, kDefaultStatementSeconds);
        QVERIFY2(elapsed < seconds * 1000, qPrintable(QString::number(elapsed)));
        const QStringList errors = d.log().filter("(error)");
        if (line.isEmpty()) {
            QVERIFY(starter.waitForFinished(60000) && starter.exitCode() == 0);
            QCOMPARE(result, ExportRun::Result::Completed);
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
            QCOMPARE(readFile(d.env.path("faulted.csv")), readFile(d.env.path("clean.csv")));
            QVERIFY(readFile(d.env.path("clean.csv")).count('\n') > 1000);
            // The snapshot went with its connection: what was read after is a later state, and the log says so.
            QCOMPARE(d.log().filter("one state").size(), 1);
            QVERIFY(d.log().filter("one state")[0].endsWith(" a later state"));
            return;
        }
        QCOMPARE(result, ExportRun::Result::Stopped);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith(line + "127.0.0.1:" + QString::number(proxyPort) + ", database ") &&
                     errors[0].endsWith(" subscribers and " + d.env.path("faulted.csv") + " was not replaced"),
                 qPrintable(errors[0]));
        QCOMPARE(readFile(d.env.path("faulted.csv")), previous);
        QCOMPARE(d.texts().last(), errors[0].mid(8)); // told as well
    }
#endif

    // Another program moves a member from a late list to the first, deletes a late list and adds a member to another
    // while an export runs: at a chunk's start, or (PostgreSQL) while a chunk's member read waits on its lock. The
    // file holds the state at the export's start, as sqlite3 or psql answers it then; a writer was not held up. With
    // a rollback journal the export reads as it goes, and the log says so.
    void changedDuringExport_data()
    {
        QTest::addColumn<bool>("perRow");
        QTest::addColumn<bool>("insideRead");
        QTest::addColumn<bool>("rollbackJournal");
        QTest::newRow("between chunks, in sets") << false << false << false;
        QTest::newRow("between owners, per row") << true << false << false;
#ifdef EXPORT_ON_POSTGRES
        QTest::newRow("inside a chunk's read") << false << true << false;
#else
        QTest::newRow("rollback journal: told") << false << false << true;
#endif
    }
    void changedDuringExport()
    {
        QFETCH(bool, perRow);
        QFETCH(bool, insideRead);
        QFETCH(bool, rollbackJournal);
        ExportFixture d;
        demo::GeneratorOptions options;
        options.subscribers = 60;
        options.awkwardData = false;
        demo::generateOrganisation(*d.db, options);
        if (rollbackJournal)
            d.db->exec("PRAGMA journal_mode=DELETE");
        d.app.perRowQueries = perRow;
        d.app.ownersPerChunk = 10;
        QStringList owners;
        Recordset grid;
        grid.open("SELECT SubscriberObjectID, Alias, DisplayName FROM vw_Subscriber ORDER BY Alias",
                  d.app.strConnectionString);
        for (grid.moveFirst(); !grid.atEnd(); grid.moveNext()) {
            owners << grid.text(0);
            d.addRow(owners.last(), GetFieldString(grid, "Alias"), GetFieldString(grid, "DisplayName"), {});
        }
        const auto listsOf = [&](qsizetype from, qsizetype to) {
            QStringList lists;
            for (qsizetype i = from; i < to; ++i) {
                QSqlQuery q = d.db->connection().exec(
                    "SELECT PersonalDListObjectID FROM PersonalDList l WHERE ParentObjectID = " + sqlQuoted(owners[i]) +
                    " AND EXISTS (SELECT 1 FROM PersonalDListMember m WHERE m.ParentObjectID = "
                    "l.PersonalDListObjectID) ORDER BY PersonalDListObjectID");
                while (q.next())
                    lists << q.value(0).toString();
            }
            return lists;
        };
        // Lists with members of rows 31 to 40: the fourth chunk, whose read starts as the walk reaches row 21.
        const QStringList first = listsOf(0, 10), late = listsOf(30, 40);
        QVERIFY(!first.isEmpty() && late.size() >= 3);
        const QString change =
            u"UPDATE PersonalDListMember SET ParentObjectID = %1 WHERE MemberSeq = (SELECT min(MemberSeq) FROM "
            "PersonalDListMember WHERE ParentObjectID = %2); DELETE FROM PersonalDList WHERE PersonalDListObjectID = "
            "%3; INSERT INTO PersonalDListMember (MemberSeq, ParentObjectID, ObjectType, ObjectID, Alias, DisplayName) "
            "VALUES (999999, %4, 1, %5, 'added', 'Added');"_s.arg(
                sqlQuoted(first[0]), sqlQuoted(late[1]), sqlQuoted(late[0]), sqlQuoted(late[2]), sqlQuoted(owners[0]));
        // The database's own client, on `sql` or else on what it is sent.
        const auto client = [&](QProcess& tool, const QString& sql) {
#ifdef EXPORT_ON_POSTGRES
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("PGPASSWORD", qEnvironmentVariable("TARNWICK_PG_OWNER_PASSWORD", "tarnwick-owner"));
            tool.setProcessEnvironment(environment);
            tool.start("psql", QStringList{"-X", "-qAt", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p",
                                           QString::number(PostgresDatabase::port()), "-U", "tarnwick_owner", "-d",
                                           d.pg.name()} +
                                   (sql.isEmpty() ? QStringList() : QStringList{"-c", sql}));
#else
            tool.start("sqlite3", QStringList{"-cmd", ".timeout 10000", d.env.path("OrvaneDb")} +
                                      (sql.isEmpty() ? QStringList() : QStringList(sql)));
#endif
        };
        // Owner alias, list id and member alias of every row, by one statement of the database's own client.
        const auto rowsNow = [&] {
            QProcess tool;
            client(tool, "SELECT s.Alias || '|' || COALESCE(l.DTMFAccessID, '') || '|' || COALESCE(m.Alias, '') FROM "
                         "vw_Subscriber s JOIN vw_PersonalDList l ON l.ParentObjectID = s.SubscriberObjectID JOIN "
                         "vw_PersonalDListMember m ON m.ParentObjectID = l.PersonalDListOBjectID WHERE m.ObjectType "
                         "IN (1, 2)");
            tool.waitForFinished(60000);
            QStringList rows = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
            rows.sort();
            return rows;
        };
        QStringList atStart;
        QProcess locker;
        bool locked = false;
        std::function<void()> strike = [&] {
            d.onYield = strike;
            const qsizetype row = d.captions.size();
            if (row == 21 && insideRead && !locked) { // before the walk starts reading rows 31 to 40
                locked = true;
                atStart = rowsNow(); // not once the lock is taken: it would wait too
                client(locker, {});
                locker.write("BEGIN; LOCK TABLE PersonalDListMember IN ACCESS EXCLUSIVE MODE; SELECT 'locked';\n");
                QVERIFY(locker.waitForReadyRead(10000) && locker.readAll().contains("locked"));
            } else if (row == 22 && insideRead && locker.state() == QProcess::Running) {
                const QDeadlineTimer deadline(10000); // until the chunk's member read waits on the lock
                while (!d.db->connection()
                            .exec("SELECT 1 FROM pg_locks WHERE NOT granted AND relation = "
                                  "'personaldlistmember'::regclass")
                            .next()) {
                    if (deadline.hasExpired()) {
                        locker.closeWriteChannel(); // the lock goes, and the run can end
                        QFAIL("no read waited on the lock");
                    }
                    QThread::msleep(20);
                }
                locker.write((change + "COMMIT;\n").toUtf8());
                locker.closeWriteChannel();
                QVERIFY(locker.waitForFinished(10000) && locker.exitCode() == 0);
            } else if (row == 21 && !insideRead && atStart.isEmpty()) { // the walk reads rows 21 to 30
                atStart = rowsNow();
                QProcess tool;
                client(tool, "BEGIN; " + change + " COMMIT;");
                QVERIFY2(tool.waitForFinished(20000) && tool.exitCode() == 0, tool.readAllStandardError().constData());
            }
        };
        d.onYield = strike;
        QCOMPARE(d.run.run(d.env.path("out.csv")), ExportRun::Result::Completed);
        QVERIFY(!atStart.isEmpty() && atStart != rowsNow()); // the change shows to a new reader
        const QString note = "This export is not one state of the database: the SQLite database has a rollback "
                             "journal (journal_mode delete), and one read held for the whole export would stop every "
                             "writer until its end; in WAL mode it would be one state";
        QCOMPARE(d.log().filter("one state"), rollbackJournal ? QStringList(note) : QStringList());
        if (rollbackJournal)
            return;
        QProcess python; // the file as Python's csv reads it
        python.start("python3", {"-c",
                                 "import csv, sys; [print(r[0], r[4], r[6], sep='|') for r in "
                                 "list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))[1:]]",
                                 d.env.path("out.csv")});
        QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
        QStringList written = QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        written.sort();
        QCOMPARE(written, atStart);
    }

#ifndef EXPORT_ON_POSTGRES
    // tarnwick-export itself in the fixture's folder, over a previous o.csv: replaced when the export wrote it whole,
    // else left byte for byte. Failures are provoked for real: a file-size limit, the user nobody, a file in the way.
    void command_data()
    {
        QTest::addColumn<QString>("arguments"); // separated by '|'
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");  // a part of stdout and stderr
        QTest::addColumn<bool>("replaced");   // the target, named after -o
        QTest::addColumn<QString>("logLine"); // a part of the log; empty: no log at all
        const QString all = u"--all|--output|o.csv"_s, ro = u"--all|-o|ro/o.csv"_s, rw = u"--all|-o|rw/o.csv"_s;
        const QString walkWrite = u"(error) 61 (Disk full) in procedure WriteSubInfoToFile of Form frmDumpInfo"_s;
        // "=" before the output: all of stdout and stderr.
        // One line per row when stderr is no terminal; the questions are answered No; the log folder comes first.
        QTest::newRow("all") << all << 0 << "[4 of 4] No Ext\n" + ExportRun::completionMessage(0, 0) + " [No]\n"
                             << true << "[4 of 4] No Ext";
        QTest::newRow("range: no extension, in no range, told once")
            << "--range|0-9999|-o|o.csv" << 0
            << "\nSubscribers without an extension lie in no range and were not added: 1\n[1 of 3]" << true << "";
        QTest::newRow("errors logged, summary") << all + "|--summary|json" << 1 << "\"errors\":1" << true << "(error) 94";
        QTest::newRow("errors logged, quiet: the log named") << all + "|-q" << 1 << "=Log: " << true << "(error) 94";
        // A row the selection could not add is told, and the run is not a clean one; quiet tells it too.
        QTest::newRow("selection failure") << all + "|-q" << 1 << "Unable to find single COS instance" << true << "";
        // The bar is cut to the terminal's width less one column and padded to it: nothing wraps.
        QTest::newRow("terminal of 60 columns")
            << "--name-contains|smith|-o|o.csv" << 0 << "[2 of 2] Smith" << true << "";
        // A wrong option is told on stderr, with where to find the right ones.
        QTest::newRow("no output") << "--all" << 2 << "--output FILE\nRun tarnwick-export --help" << false << "";
        QTest::newRow("failed start-up check") << all << 2 << kVersionGateMessage << false << "";
        QTest::newRow("nobody chosen") << "--name-contains|zzz|-o|o.csv" << 2 << "select at least one user" << false
                                       << "";
        // The disk fills part way through the walk, or only with the last bytes at the close.
        QTest::newRow("disk full in the walk") << all << 1 << "Error in WriteSubInfoToFile on frmDumpInfo:Disk full\n"
                                               << false << walkWrite;
        QTest::newRow("disk full at the close")
            << all << 1 << "Error in ExportData on frmDumpInfo:Disk full\n"
            << false << "(error) 61 (Disk full) in procedure ExportData of Form frmDumpInfo";
        // As nobody: the program's folder is not theirs, so the log goes to the per-user folder, and says so first.
        QTest::newRow("read-only folder")
            << ro << 1
            << "Error in cmdDumpData_Click:Permission denied - the folder or the file is read-only: ro/o.csv\n"
            << false << "(error) 70 (Permission denied) in procedure cmdDumpData_Click";
        QTest::newRow("read-only target") << rw << 0 << "Log folder: %1/user data/Tarnwick/logs\n"
                                          << true << "[4 of 4]";
        QTest::newRow("no log anywhere") << rw << 1 << "No log file could be written: 70 (Permission denied)" << true
                                         << "";
        // An earlier export to compare with that is not one, or cannot be read: refused before anything is written.
        const QString compare = all + u"|--compare|previous export.txt"_s;
        const QString refused = u"The previous export cannot be compared with: previous export.txt\n"_s;
        QTest::newRow("compare: other header")
            << compare << 2 << refused + "Its first line is not the header" << false << "";
        QTest::newRow("compare: fields") << compare << 2 << refused + "Line 3 has 8 fields instead of 9" << false << "";
        QTest::newRow("compare: UTF-16") << compare << 2 << refused + "It is in UTF-16" << false << "";
        QTest::newRow("compare: not UTF-8")
            << compare << 2
            << refused + "Line 5 cannot be read in UTF-8, the system's code page: the file is in an "
                         "encoding this program cannot read.\nNothing was written."
            << false << "";
        // Read, compared, and the report cannot be written: told, logged and counted; the export itself stands.
        QTest::newRow("compare: report in the way")
            << compare << 1 << "Error in cmdDumpData_Click:Path/File access error\n"
            << true << "(error) 75 (Path/File access error) writing the change report o.changes.csv";
        // Names a spreadsheet would evaluate: written as they are and counted, or after a ' with --formula-safe.
        const QString formulas = u"\nNames and aliases a spreadsheet would read as formulas (beginning with =, +, -, "
                                 u"@, tab or CR): 6, written "_s;
        const QString first = u"; the first: \"@anna\", \"=1+1\", \"-all\"\r\n"_s;
        QTest::newRow("formula cells") << all + "|--summary=json" << 0 << "\"formulaCells\":6" << true
                                       << formulas + "as they are" + first;
        QTest::newRow("formula cells, made safe") << all + "|--formula-safe|--summary=json" << 0 << "\"formulaCells\":6"
                                                  << true << formulas + "after a ' so that they read as text" + first;
    }
    void command()
    {
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(bool, replaced);
        QFETCH(QString, logLine);
        TestEnvironment env;
        buildWalkFixture(env.database());
        const QByteArray tag = QTest::currentDataTag();
        Launch launch;
        launch.environment << "XDG_DATA_HOME=" + env.path("user data");
        QVERIFY(QDir(env.folder()).mkpath("user data") && QDir(env.folder()).mkpath("ro") &&
                QDir(env.folder()).mkpath("rw"));
        const QString longName(1000, u'n');
        if (tag.startsWith("errors logged"))
            env.database().addMember("L-EMPTY", 1, std::nullopt, "x", "X"); // a member without object id
        if (tag == "selection failure") // a class of service that is not there
            env.database().addSubscriber({"S-BADCOS", "badcos", {}, {}, "Bad Cos", "1003", "H-B", "C-GONE", 1});
        if (tag.startsWith("terminal")) {
            env.database().addSubscriber(
                {"S-LONG", "long", {}, {}, "Smith " + QString(90, u'x'), "1004", "H-L", "C1", 1});
            launch.columns = 60;
        }
        if (tag.startsWith("disk full")) { // about 1 KiB a row; the log stays small
            const int rows = tag.endsWith("walk") ? 200 : 8;
            for (int i = 0; i < rows; ++i)
                env.database().addMember("L-EMPTY", 1, "S-'ANNA", "a" + QString::number(i), longName);
            launch.fileSizeLimit = tag.endsWith("walk") ? 64 * 1024 : 4 * 1024;
        }
        if (tag.startsWith("compare:")) {
            const QByteArray header = MembershipCsv::kHeader.toLatin1() + "\r\n", row = "a,b,c,d,e,f,g,h,i\r\n";
            const QHash<QByteArray, QByteArray> files{
                {"compare: other header", "ALIAS,EXTENSION\r\n" + row},
                {"compare: fields", header + row + "a,b,c,d,e,f,g,h\r\n"},
                {"compare: UTF-16",
                 "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(MembershipCsv::kHeader.utf16()),
                                         MembershipCsv::kHeader.size() * 2)},
                {"compare: not UTF-8", header + row + "\"x\r\ny\",b,c,d,e,f,g,h,i\r\nM\xfcller,b,c,d,e,f,g,h,i\r\n"}};
            if (files.contains(tag))
                QVERIFY(!writeFile(env.path("previous export.txt"), files[tag]).isEmpty());
            if (tag.endsWith("in the way"))
                QVERIFY(!writeFile(env.path("previous export.txt"), crlfFile(fixtureCsvLines())).isEmpty() &&
                        QDir(env.folder()).mkpath("o.changes.csv"));
        }
        if (tag.startsWith("formula cells")) {
            env.database().addMember("L-'TEAM", 1, "S-'ANNA", "@anna", "=1+1");
            env.database().addMember("L-'TEAM", 2, "P-'ALL", "-all", "=HYPERLINK(\"http://example.com\",\"x\")");
            env.database().addMember("L-'TEAM", 1, "S-NOEXT", "\tnoext", "+49 30 1234");
        }
        if (tag == "read-only folder" || tag == "read-only target" || tag == "no log anywhere") {
            launch.asNobody = true;
            const passwd* nobody = ::getpwnam("nobody");
            QVERIFY(nobody && ::chmod(QFile::encodeName(env.path("user data")), 0777) == 0 &&
                    ::chmod(QFile::encodeName(env.path("rw")), 0777) == 0);
            if (tag == "no log anywhere")
                launch.environment << "XDG_DATA_HOME=/nonexistent"
                                   << "HOME=/nonexistent";
            if (output.contains("%1"))
                output = output.arg(env.folder());
        }
        const QStringList args = arguments.split(u'|');
        const qsizetype o = std::max(args.indexOf("-o"), args.indexOf("--output"));
        const QString target = env.path(o >= 0 && o + 1 < args.size() ? args[o + 1] : u"o.csv"_s);
        const QByteArray previous = "previous\r\n";
        QFile file(writeFile(target, previous));
        QVERIFY(file.exists());
        if (launch.asNobody) // nobody's own file; read-only too in a folder nobody may write
            QVERIFY(::chown(QFile::encodeName(target), ::getpwnam("nobody")->pw_uid, gid_t(-1)) == 0);
        if (tag.startsWith("read-only"))
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadOther));

        QByteArray out;
        const auto [exitCode, shown] = runExportBinary( // an old version fails the start-up check
            env.folder(), args,
            TestEnvironment::registryText(0x00040000, tag == "failed start-up check" ? 0x00030063 : 0x00030064),
            launch, &out);
        const QString whole = output.mid(1);
        const bool matches = !output.startsWith(u'=') ? shown.contains(output)
                             : whole == u"Log: "_s    ? shown.startsWith(whole)
                                                      : shown == whole;
        QVERIFY2(exitCode == status && matches, qPrintable(QString::number(exitCode) + u'\n' + shown));
        if (output == u"=Log: "_s) // one line naming the log, nothing else
            QVERIFY2(!shown.trimmed().contains(u'\n') && QFile::exists(shown.trimmed().mid(5)), qPrintable(shown));
        if (tag.startsWith("terminal")) {
            const QStringList bars =
                shown.split(QRegularExpression("[\r\n]")).filter(QRegularExpression("^\\[[#.]+\\]"));
            QVERIFY(!bars.isEmpty());
            for (const QString& bar : bars)
                QVERIFY2(bar.size() == 59, qPrintable(bar));
        }
        QCOMPARE(shown.count("Disk full"), int(tag.startsWith("disk full"))); // told once, not for each row
        // The target: a whole new file, or the previous one as it was; nothing else beside it.
        const QByteArray bytes = readFile(target);
        const QByteArray header = MembershipCsv::kHeader.toLatin1() + "\r\n";
        QVERIFY2(replaced ? bytes.startsWith(header) : bytes == previous, bytes.left(100).constData());
        QCOMPARE(QDir(QFileInfo(target).path()).entryList({"*.csv*"}, QDir::Files), QStringList("o.csv"));
        if (tag == "read-only folder") // nothing changed, its permissions neither
            QCOMPARE(file.permissions() & QFileDevice::Permissions(0x7077),
                     QFileDevice::ReadOwner | QFileDevice::ReadOther);
        if (tag.startsWith("formula cells"))
            QVERIFY(bytes.contains(tag.endsWith("safe") ? ",'@anna,'=1+1,2002\r\n" : ",@anna,=1+1,2002\r\n"));

        // The log is where the first line said, and named by the last line only when it was written.
        const bool quiet = args.contains("-q") || args.contains("--quiet");
        const bool ran = status < 2;
        const QString folder =
            quiet ? env.path("logs")
                  : shown.section(u"Log folder: "_s, 1).section(u'\n', 0, 0).trimmed(); // stdout may come first
        const QString log = newestLog(folder);
        QVERIFY2(status == 2 || logLine.isEmpty() || log.contains(logLine), qPrintable(folder + u'\n' + log));
        if (ran && logLine.isEmpty() && !replaced)
            QVERIFY(log.isEmpty());
        if (tag == "no log anywhere")
            QVERIFY(shown.endsWith("No log file was written.\n") && log.isEmpty());
        else if (ran && !quiet)
            QVERIFY2(shown.contains("\nLog: " + folder + "/Tarnwick_Log_"), qPrintable(shown));
        if (!arguments.contains("--summary") || status == 2)
            return;
        // One line of JSON on stdout, nothing else; each field read again from the CSV and the log, the formula cells
        // also opened in LibreOffice.
        QProcess python;
        python.start("python3", {TARNWICK_SOURCE_DIR "/tests/export/check_summary.py", target,
                                 QString::number(exitCode), args.contains("--formula-safe") ? "safe" : ""});
        python.write(out);
        python.closeWriteChannel();
        QVERIFY(python.waitForFinished(300000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    }

    // What changed since an earlier export, against the same comparison done again by Python's csv module over the
    // two files: the demo organisation, then a copy of it changed by demo/history.sql through sqlite3 (at least 20
    // changes of every kind). The earlier file in either encoding, or in UTF-8 without its mark; the report in the
    // new file's encoding. The summary and the log's line give the counts Python finds.
    void changesSincePreviousExport()
    {
        TestEnvironment env;
        demo::generateOrganisation(env.database(), {});
        const QString later = env.path("later");
        QVERIFY(QDir().mkpath(later)); // a copy of the open WAL-mode database, its log included
        QCOMPARE(QProcess::execute("sqlite3", {env.path("OrvaneDb"), ".backup '" + later + "/OrvaneDb'"}), 0);
        QProcess sqlite;
        sqlite.start("sqlite3", {later + "/OrvaneDb", ".read " TARNWICK_SOURCE_DIR "/demo/history.sql"});
        QVERIFY(sqlite.waitForFinished() && sqlite.exitCode() == 0 && sqlite.readAllStandardError().isEmpty());
        const locale_t latin1 = ::newlocale(LC_ALL_MASK, "en_US.ISO-8859-1", locale_t(nullptr));
        if (latin1)
            ::freelocale(latin1);
        const QStringList utf8{"--encoding=utf-8"};
        struct Variant
        {
            QStringList first, second;
            bool dropMark, inLatin1;
        };
        const Variant variants[] = {{{}, utf8, false, false}, {utf8, {}, true, false}, {utf8, {}, false, true}};
        for (const Variant& v : variants) {
            if (v.inLatin1 && !latin1)
                continue; // scripts/install-deps.sh makes the locale
            const QString previous = env.path("previous.csv");
            QVERIFY(runExportBinary(env.folder(), QStringList{"--all", "-o", previous} + v.first).first < 2);
            if (v.dropMark)
                QVERIFY(!writeFile(previous, readFile(previous).mid(3)).isEmpty());
            Launch launch;
            if (v.inLatin1)
                launch.environment << "LC_ALL=en_US.ISO-8859-1";
            QByteArray out;
            const auto [status, shown] = runExportBinary(
                later, QStringList{"--all", "-o", "new.csv", "--compare", previous, "--summary=json"} + v.second,
                TestEnvironment::registryText(), launch, &out);
            QVERIFY2(status < 2, qPrintable(shown));
            const QJsonObject changes = QJsonDocument::fromJson(out).object().value("changes").toObject();
            QCOMPARE(changes.value("report").toString(), later + "/new.changes.csv");

            QProcess python;
            python.start("python3", {TARNWICK_SOURCE_DIR "/tests/export/check_changes.py", previous, later + "/new.csv",
                                     later + "/new.changes.csv", v.inLatin1 ? "latin-1" : "utf-8"});
            QVERIFY(python.waitForFinished(60000));
            QVERIFY2(python.exitCode() == 0, python.readAllStandardError().right(2000).constData());
            const QJsonObject counted = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
            ExportComparison::Counts counts;
            const std::tuple<const QString&, const char*, qint64&> kinds[] = {
                {ExportComparison::kListAdded, "lists_added", counts.listsAdded},
                {ExportComparison::kListRemoved, "lists_removed", counts.listsRemoved},
                {ExportComparison::kListRenamed, "lists_renamed", counts.listsRenamed},
                {ExportComparison::kMemberAdded, "members_added", counts.membersAdded},
                {ExportComparison::kMemberRemoved, "members_removed", counts.membersRemoved},
                {ExportComparison::kExtensionChanged, "extensions_changed", counts.extensionsChanged}};
            for (const auto& [kind, key, count] : kinds) {
                count = counted.value(kind).toInteger();
                QVERIFY2(count >= 20 && changes.value(QLatin1String(key)).toInteger() == count, qPrintable(kind));
            }
            QVERIFY(newestLog(later + "/logs")
                        .contains(ExportRun::changesLine(previous, counts, "new.changes.csv") + "\r\n"));
            if (!v.second.isEmpty())
                QVERIFY(readFile(later + "/new.changes.csv")
                            .startsWith("\xEF\xBB\xBF" + ExportComparison::kReportHeader.toLatin1()));
        }
    }

    // A run stopped in its middle: SIGINT and SIGTERM end it in order (no new file, one line in the log saying how
    // far it came, the log closed, 128 + the signal); after kill -9 the previous file is still whole.
    // With "locked", another program holds the database locked first, so the run waits in a read: a signal
    // cancels it within a second; without one, --timeout ends the run with one error line.
    void interruptedMidRun_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("locked");
        QTest::newRow("SIGINT") << SIGINT << false;
        QTest::newRow("SIGTERM") << SIGTERM << false;
        QTest::newRow("SIGKILL") << SIGKILL << false;
        QTest::newRow("SIGINT in a locked read") << SIGINT << true;
        QTest::newRow("SIGTERM in a locked read") << SIGTERM << true;
        QTest::newRow("a lock held past --timeout") << 0 << true;
    }
    void interruptedMidRun()
    {
        QFETCH(int, signal);
        QFETCH(bool, locked);
        TestEnvironment env;
        demo::GeneratorOptions options;
        options.subscribers = 2000;
        demo::generateOrganisation(env.database(), options);
        if (locked) // a writer holds readers off only with a rollback journal
            env.database().exec("PRAGMA journal_mode=DELETE");
        const QByteArray previous = "previous\r\n";
        QVERIFY(!writeFile(env.path("o.csv"), previous).isEmpty());
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        // One query per row: the next one after the lock waits on it.
        const QStringList lockedRun{"--per-row-queries", "--timeout", "2"};
        startExportBinary(process, env.folder(),
                          QStringList{"--all", "-o", "o.csv"} + (locked ? lockedRun : QStringList()),
                          TestEnvironment::registryText());
        QString shown;
        while (!shown.contains("[50 of ") && process.waitForReadyRead(60000))
            shown += QString::fromUtf8(process.readAll());
        QVERIFY2(shown.contains("[50 of "), qPrintable(shown));
        QProcess lock; // sqlite3 itself holds the lock until its input ends
        QElapsedTimer waited;
        if (locked) {
            lock.start("sqlite3", {env.path("OrvaneDb")});
            lock.write(".timeout 10000\nBEGIN EXCLUSIVE;\nSELECT 'locked';\n");
            QVERIFY(lock.waitForReadyRead(30000) && lock.readAll().contains("locked"));
            waited.start();
            if (signal != 0)
                QTest::qWait(1500); // the run is in a read that cannot finish
        }
        const qint64 before = waited.isValid() ? waited.elapsed() : 0;
        if (signal != 0)
            // A process that has ended has id 0, and kill(0, ...) would signal this test's whole process group.
            QVERIFY(process.processId() > 0 && ::kill(pid_t(process.processId()), signal) == 0);
        QVERIFY(process.waitForFinished(60000));
        const qint64 toEnd = waited.isValid() ? waited.elapsed() - before : 0;
        shown += QString::fromUtf8(process.readAll());
        lock.closeWriteChannel();
        lock.waitForFinished();
        if (locked) // a signal ends the read within a second; the limit is two seconds, and one for the driver
            QVERIFY2(signal != 0 ? toEnd < 1000 : toEnd >= 2000 && toEnd < 4500, qPrintable(QString::number(toEnd)));

        QCOMPARE(readFile(env.path("o.csv")), previous);
        QCOMPARE(QDir(env.folder()).entryList({"*.csv*"}, QDir::Files), QStringList("o.csv"));
        if (signal == SIGKILL) {
            QCOMPARE(process.exitStatus(), QProcess::CrashExit);
            return;
        }
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        if (signal == 0) { // one line naming the wait and the database; the file kept
            QCOMPARE(process.exitCode(), 1);
            const QString log = newestLog(env.path("logs"));
            const QStringList errors = log.split(u'\n').filter(QRegularExpression("^ *\\(error\\)"));
            QVERIFY2(errors.size() == 1, qPrintable(errors.join(u'\n')));
            const QRegularExpression stopped(
                "\\(error\\) The database did not answer a query within 2 seconds \\(database OrvaneDb[^\r]*\\); the "
                "export stopped after \\d+ of \\d+ subscribers and o.csv was not replaced\r\n$");
            QVERIFY2(stopped.match(log).hasMatch(), qPrintable(log.right(300)));
            return;
        }
        QCOMPARE(process.exitCode(), 128 + signal);
        const QRegularExpression line("\\(error\\) Export interrupted after (\\d+) of (\\d+) subscribers; o.csv was "
                                      "not replaced\r\n$");
        const QRegularExpressionMatch match = line.match(newestLog(env.path("logs")));
        QVERIFY2(match.hasMatch(), qPrintable(newestLog(env.path("logs")).right(300)));
        QVERIFY(match.captured(1).toInt() >= 49 && match.captured(1).toInt() < match.captured(2).toInt());
        QVERIFY2(shown.contains(QRegularExpression("\nExport interrupted after \\d+ of \\d+ subscribers; o.csv was not "
                                                   "replaced\nLog: [^\n]+\n$")),
                 qPrintable(shown.right(300)));
    }
#endif
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
