// The private list walk, the export run that drives it, and tarnwick-export.
#include "ExportTestSupport.h"
#include "app/Startup.h"

#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;
using namespace Qt::StringLiterals;

class TestExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Any of the nine columns may need quotes; Python's csv reader gets back exactly
    // the values written. Without an output file every row is told.
    void writeSubInfoToFile()
    {
        const QStringList values{"a,1",          "Zoë \"Z\"", "c\r\n3",
                                 "Łukasz, list", "e\n5",      "PUBLIC LIST",
                                 "g'7,\"x\"",    "",          "\r"};
        const MemberRow row{values[0], values[1], values[2], values[3], values[4],
                            values[5], values[6], values[7], values[8]};
        TestEnvironment env;
        TextFileWriter csv;
        PrivateListWalk walk(*env.app, csv);
        csv.open(env.path("row.csv"));
        walk.WriteSubInfoToFile(row);
        csv.close();
        const QString check = "import csv, sys; sys.exit(list(csv.reader(open(sys.argv[1], "
                              "newline='', encoding='utf-8'))) != [sys.argv[2:]])";
        QCOMPARE(
            QProcess::execute("python3", QStringList{"-c", check, env.path("row.csv")} + values),
            0);
        walk.WriteSubInfoToFile(row);
        walk.WriteSubInfoToFile(row);
        QCOMPARE(env.ui.texts(),
                 QStringList(2, u"Error in WriteSubInfoToFile on frmDumpInfo:Bad file mode"_s));
    }

    // A run over "S-OWNER", "S-'ANNA" (not ticked: visited and logged, never walked),
    // "S-NOLISTS" and an id that would end its quoted value early, after `sql`
    // changed the fixture. Failure lines of the walk are cut to "(error) N".
    void run_data()
    {
        QTest::addColumn<QString>("sql"); // statements separated by ';'
        QTest::addColumn<QStringList>("csv");
        QTest::addColumn<QStringList>("log");
        const QStringList rows = fixtureCsvLines().mid(1), &log = kOwnerLog;
        const auto logOf = [](const QStringList& owner, const QString& others = kNoListsLine) {
            return QStringList("[1 of 4] Smith, John") + owner +
                   QStringList{"[2 of 4] Anna Müller", "[3 of 4] Nobody \"Nolists\"", others,
                               "[4 of 4] X", others};
        };
        QStringList twice = rows,
                    none = QStringList(rows).replaceInStrings(QRegularExpression("[^,]*$"), "");
        twice[0].chop(4); // Anna's extension
        // One more member, in the list whose own name and extension are null.
        const QString member =
            u"INSERT INTO PersonalDListMember (MemberSeq, ParentObjectID, "
            "ObjectType, ObjectID, Alias, DisplayName) VALUES (99, 'L-EMPTY', "_s;
        const QString inEmpty = u"jsmith,\"Smith, John\",1001,,,"_s;
        const QString dbError = u"(error) -2147467259"_s;
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
            << "DROP VIEW vw_PersonalDListMember" << QStringList()
            << logOf({log[0], dbError, log[1], dbError});
        QTest::newRow("null alias: kept, with a warning")
            << member + "1, 'S-''ANNA', NULL, 'Anna')"
            << rows + QStringList(inEmpty + "SUBSCRIBER,,Anna,2002")
            << logOf({log[0], log[1],
                      "            (warning) Member without an alias written with an empty "
                      "MEMBER_ALIAS: member=Anna (ObjectID=S-'ANNA) in private list=empty"});
        QTest::newRow("null object id: row without extension")
            << member + "2, NULL, 'pl', NULL)" << rows + QStringList(inEmpty + "PUBLIC LIST,pl,,")
            << logOf({log[0], log[1], "(error) 94"});
        QTest::newRow("null type: nothing")
            << member + "NULL, 'S-''ANNA', 'a', 'A')" << rows << logOf(log.mid(0, 2));
    }
    void run()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, csv);
        QFETCH(QStringList, log);
        ExportFixture d;
        for (const QString& statement : sql.split(u';', Qt::SkipEmptyParts))
            d.env.database().exec(statement);
        d.addRow("S-OWNER", "jsmith", "Smith, John", "1001");
        d.addRow("S-'ANNA", "amuller", "Anna Müller", "2002", false);
        d.addRow("S-NOLISTS", "nolists", "Nobody \"Nolists\"", "1002");
        d.addRow("x' OR '1'='1", "x", "X", "2");
        // An existing output goes without a question, even when read-only.
        const QString out = d.env.path("lists out.csv");
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(2000, 'x')) == 2000);
        old.close();
        QVERIFY(old.setPermissions(QFileDevice::ReadOwner));
        const bool viewLog = sql.isEmpty(); // both questions come whatever the first answer
        d.ui.answer({viewLog, !viewLog});
        QCOMPARE(d.run.run(out), ExportRun::Result::Completed);
        QVERIFY(!d.run.isRunning() && !d.app.log.isOpen());

        QCOMPARE(readFile(out), crlfFile(QStringList(MembershipCsv::kHeader) + csv));
        QStringList written = d.log();
        for (QString& line : written) {
            if (line.endsWith(u") in procedure ProcessPrivateDLMembers of Form frmDumpInfo"_s))
                line = line.section(u' ', 0, 1);
        }
        QCOMPARE(written, log);
        QCOMPARE(d.progress.captions, log.filter(QRegularExpression("^\\[")));
        QCOMPARE(d.progress.values, QList<int>({0, 4, 0, 1, 2, 3, 4})); // the range, then each row
        const int errors = log.filter("(error)").size(), warnings = log.filter("(warning)").size();
        QCOMPARE(d.app.log.intErrorCount(), errors);
        QCOMPARE(d.app.log.intWarningCount(), warnings);
        // The walk's failures are logged, never shown.
        QCOMPARE(d.ui.texts(), QStringList({ExportRun::completionMessage(errors, warnings),
                                            "View CSV output file now?"}));
        QCOMPARE(d.ui.shown[0].title, u"Export Complete"_s);
        QCOMPARE(d.ui.shown[1].title, u"Tarnwick"_s);
        QCOMPARE(d.env.shell.editorFiles, QStringList(viewLog ? d.app.log.strLogFileName() : out));
    }

    // Told once, logged once and counted, no walk; the summary and questions still come.
    void outputThatCannotBeCreated()
    {
        ExportFixture d;
        QVERIFY(QDir(d.env.folder()).mkdir("a folder")); // not a file: nothing to replace
        d.addOwners();
        QCOMPARE(d.run.run(d.env.path("a folder")), ExportRun::Result::Completed);
        const QStringList texts = d.ui.texts(), log = d.log();
        QVERIFY2(texts.size() == 3 && texts[0].startsWith(u"Error in cmdDumpData_Click:"_s),
                 qPrintable(texts.join(u'\n')));
        QCOMPARE(texts.mid(1),
                 QStringList({ExportRun::completionMessage(1, 0), "View CSV output file now?"}));
        QVERIFY2(log.size() == 1 && log[0].startsWith(u"(error) "_s) &&
                     log[0].endsWith(u") in procedure cmdDumpData_Click of Form frmDumpInfo"_s),
                 qPrintable(log.join(u'\n'))); // and no walk
    }

    // Row numbers and the caption's counts are not held to 16 bits.
    void gridPastSixteenBits()
    {
        ExportFixture d;
        d.grid.setRedraw(false);
        for (int i = 1; i <= 40000; ++i)
            d.addRow({}, {}, u"Name %1"_s.arg(i), {}, false);
        d.run.run(d.env.path("out.csv"));
        QCOMPARE(d.log().size(), 40000);
        QCOMPARE(d.log()[32767], u"[32768 of 40000] Name 32768"_s);
        QCOMPARE(d.progress.values.mid(0, 2), QList<int>({0, 40000}));
    }

    // A click during a run starts nothing; Exit still closes the log.
    void clicksDuringARun()
    {
        ExportFixture d;
        d.addOwners();
        std::optional<ExportRun::Result> second;
        d.ui.onYield = [&] {
            second = d.run.run(d.env.path("second.csv"));
            d.ui.onYield = [&] { d.app.services.ExitApplication(); };
        };
        QVERIFY_THROWS_EXCEPTION(ExitRequested, d.run.run(d.env.path("out.csv")));
        QCOMPARE(second, ExportRun::Result::AlreadyRunning);
        QVERIFY(!QFile::exists(d.env.path("second.csv")));
        QCOMPARE(QDir(d.app.log.logFolder()).entryList(QDir::Files).size(), 1);
        QVERIFY(d.ui.exits == 1 && !d.app.log.isOpen());
    }

    // tarnwick-export itself in the fixture's folder; o.csv is written only for status 0 and 1.
    void command_data()
    {
        QTest::addColumn<QString>("arguments"); // separated by '|'
        QTest::addColumn<int>("change");        // 1: a member without object id; 2: old version
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // a part of stdout and stderr
        QTest::newRow("help") << "--help" << 0 << 0 << "--name-contains TEXT";
        // One line per row when stderr is no terminal; the questions are answered No.
        QTest::newRow("all") << "--all|--output|o.csv" << 0 << 0
                             << "[4 of 4] No Ext\nExport complete -  0 errors and  0 warnings "
                                "encountered.  View log file now? [No]\n";
        QTest::newRow("range") << "--range|1001-1002|-o|o.csv" << 0 << 0 << "[2 of 2] Nobody";
        QTest::newRow("cos") << "--cos|Default|-o|o.csv" << 0 << 0 << "[4 of 4]";
        QTest::newRow("name contains")
            << "--name-contains|smith;müller|-o|o.csv" << 0 << 0 << "[2 of 2] Anna Müller";
        QTest::newRow("cos contains") << "--cos-contains|faul|-o|o.csv" << 0 << 0 << "[4 of 4]";
        QTest::newRow("csv") << "--csv|none.csv|-o|o.csv" << 0 << 2 << "Could not open CSV file";
        QTest::newRow("errors logged")
            << "--all|-o|o.csv" << 1 << 1 << ExportRun::completionMessage(1, 0);
        QTest::newRow("no output")
            << "--all" << 0 << 2 << "--output FILE\nRun tarnwick-export --help";
        QTest::newRow("no selection") << "-o|o.csv" << 0 << 2 << "Choose the subscribers with";
        QTest::newRow("two selections")
            << "--all|--cos|x|-o|o.csv" << 0 << 2 << "one way only, not with --all and --cos";
        QTest::newRow("stray argument") << "--all|x|-o|o.csv" << 0 << 2 << "Unexpected argument: x";
        QTest::newRow("range without a dash") << "--range|100|-o|o.csv" << 0 << 2 << "LOW-HIGH";
        QTest::newRow("range with a sign")
            << "--range|-5-10|-o|o.csv" << 0 << 2 << "must be strictly higher than the lower";
        QTest::newRow("failed start-up check") << "--all|-o|o.csv" << 2 << 2 << kVersionGateMessage;
        QTest::newRow("unknown class of service")
            << "--cos|Nope|-o|o.csv" << 0 << 2 << "No class of service is named \"Nope\"";
        QTest::newRow("nobody chosen") << "--name-contains|zzz|-o|o.csv" << 0 << 2
                                       << "You must select at least one user to be processed";
    }
    void command()
    {
        QFETCH(QString, arguments);
        QFETCH(int, change);
        QFETCH(int, status);
        QFETCH(QString, output);
        TestEnvironment env;
        buildWalkFixture(env.database());
        if (change == 1)
            env.database().addMember("L-EMPTY", 1, std::nullopt, "x", "X");
        const CommandResult result = runExportBinary(
            env.folder(), arguments.split(u'|'),
            TestEnvironment::registryText(0x00040000, change == 2 ? 0x00030063 : 0x00030064));
        QVERIFY2(result.exitCode == status && result.output.contains(output),
                 qPrintable(QString::number(result.exitCode) + u'\n' + result.output));
        QCOMPARE(QFile::exists(env.path("o.csv")), status < 2 && arguments != "--help");
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
