#include "export/ExportRun.h"

#include "ExportTestSupport.h"
#include "select/SelectionGrid.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <functional>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

struct RecordingProgress : ExportProgress
{
    void setRange(int min, int max) override
    {
        minimum = min;
        maximum = max;
    }
    void setValue(int value) override { values.append(value); }
    void setCaption(const QString& caption) override { captions.append(caption); }

    int minimum = -1;
    int maximum = -1;
    QList<int> values;
    QStringList captions;
};

QByteArray crlfJoined(const QStringList& lines)
{
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

const QString kCompletionTitle = QStringLiteral("Export Complete");

} // namespace

class TestExportRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tooShortPathIsRefused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("     ");
        QTest::newRow("two characters") << QStringLiteral("ab");
        QTest::newRow("two between blanks") << QStringLiteral("  ab  ");
    }
    void tooShortPathIsRefused()
    {
        QFETCH(QString, path);
        TestEnvironment env;
        SelectionGrid grid;
        RecordingProgress progress;
        ExportRun run(*env.app, grid, progress);
        QCOMPARE(run.run(path), ExportRun::Result::NoPath);
        QCOMPARE(env.ui.shown.size(), 1);
        QCOMPARE(env.ui.shown[0].text,
                 QStringLiteral("You must first select a CSV file to save the output to."));
        QCOMPARE(env.ui.shown[0].title, QStringLiteral("Tarnwick"));
        QCOMPARE(env.ui.shown[0].kind, RecordingUserInterface::Shown::Message);
        QVERIFY(!QDir(env.app->log.logFolder()).exists()); // no log either
        QVERIFY(progress.values.isEmpty());
    }

    void wholeRun()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        SelectionGrid grid;
        addGridRow(grid, QStringLiteral("S-OWNER"), QStringLiteral("jsmith"),
                   QStringLiteral("Smith, John"), QStringLiteral("1001"));
        // Not ticked: visited and logged, never walked.
        addGridRow(grid, QStringLiteral("S-ANNA"), QStringLiteral("amuller"),
                   QStringLiteral("Anna Müller"), QStringLiteral("2002"), false);
        addGridRow(grid, QStringLiteral("S-NOLISTS"), QStringLiteral("nolists"),
                   QStringLiteral("Nobody \"Nolists\""), QStringLiteral("1002"));
        RecordingProgress progress;
        ExportRun run(*env.app, grid, progress);
        const QString out = env.path(QStringLiteral("lists out.csv"));

        QCOMPARE(run.run(out), ExportRun::Result::Completed);
        QVERIFY(!run.isRunning());

        QCOMPARE(readFile(out), crlfJoined(fixtureCsvLines()));
        QCOMPARE(readCsvWithPython(out), fixtureCsvRecords());
        const QStringList captions{QStringLiteral("[1 of 3] Smith, John"),
                                   QStringLiteral("[2 of 3] Anna Müller"),
                                   QStringLiteral("[3 of 3] Nobody \"Nolists\"")};
        QCOMPARE(
            logBody(env.app->log.strLogFileName()),
            QStringList({captions[0], QStringLiteral("        Processing private list=team"),
                         QStringLiteral("        Processing private list=empty"),
                         QStringLiteral("            No members found for this private list"),
                         captions[1], captions[2],
                         QStringLiteral("    No private lists configured for this subscriber")}));
        QVERIFY(!env.app->log.isOpen());
        QCOMPARE(progress.minimum, 0);
        QCOMPARE(progress.maximum, 3);
        QCOMPARE(progress.values, QList<int>({0, 1, 2, 3}));
        QCOMPARE(progress.captions, captions);

        QCOMPARE(env.ui.shown.size(), 2);
        QCOMPARE(
            env.ui.shown[0].text,
            QStringLiteral(
                "Export complete -  0 errors and  0 warnings encountered.  View log file now?"));
        QCOMPARE(env.ui.shown[0].title, kCompletionTitle);
        QCOMPARE(env.ui.shown[0].kind, RecordingUserInterface::Shown::YesNo);
        QCOMPARE(env.ui.shown[1].text, QStringLiteral("View CSV output file now?"));
        QCOMPARE(env.ui.shown[1].title, QStringLiteral("Tarnwick"));
        QCOMPARE(env.ui.shown[1].kind, RecordingUserInterface::Shown::YesNo);
    }

    void viewerQuestions_data()
    {
        QTest::addColumn<bool>("viewLog");
        QTest::addColumn<bool>("viewCsv");
        QTest::newRow("both") << true << true;
        QTest::newRow("CSV only") << false << true;
        QTest::newRow("log only") << true << false;
        QTest::newRow("neither") << false << false;
    }
    void viewerQuestions()
    {
        QFETCH(bool, viewLog);
        QFETCH(bool, viewCsv);
        TestEnvironment env;
        env.database();
        SelectionGrid grid;
        RecordingProgress progress;
        ExportRun run(*env.app, grid, progress);
        const QString out = env.path(QStringLiteral("with blanks.csv"));
        env.ui.answer({viewLog, viewCsv});
        run.run(out);
        QCOMPARE(env.ui.shown.size(), 2); // the second question comes whatever the first answer
        QStringList opened;
        if (viewLog)
            opened.append(env.app->log.strLogFileName());
        if (viewCsv)
            opened.append(out);
        QCOMPARE(env.shell.editorFiles, opened);
    }

    void existingOutputIsReplacedWithoutAQuestion()
    {
        TestEnvironment env;
        env.database();
        const QString out = env.path(QStringLiteral("old.csv"));
        {
            QFile old(out);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents that are longer than the new file\r\n");
        }
        QVERIFY(QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::ReadUser));
        SelectionGrid grid;
        RecordingProgress progress;
        ExportRun run(*env.app, grid, progress);
        run.run(out);
        QCOMPARE(readFile(out), crlfJoined({fixtureCsvLines().first()}));
        QCOMPARE(env.ui.shown.size(), 2); // only the two questions of every run
        QCOMPARE(env.app->log.intErrorCount(), 0);
    }

    void outputThatCannotBeCreated_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing folder") << QStringLiteral("no such folder/out.csv");
        QTest::newRow("a folder") << QStringLiteral("a folder");
    }
    void outputThatCannotBeCreated()
    {
        QFETCH(QString, name);
        TestEnvironment env;
        buildWalkFixture(env.database());
        QVERIFY(QDir(env.folder()).mkdir(QStringLiteral("a folder")));
        SelectionGrid grid;
        addFixtureOwners(grid);
        RecordingProgress progress;
        ExportRun run(*env.app, grid, progress);
        QCOMPARE(run.run(env.path(name)), ExportRun::Result::Completed);

        // One report, one counted log line, no walk; the summary and questions still come.
        const QStringList texts = env.ui.texts();
        QCOMPARE(texts.size(), 3);
        QVERIFY2(texts[0].startsWith(QStringLiteral("Error in cmdDumpData_Click:")),
                 qPrintable(texts[0]));
        QCOMPARE(
            texts[1],
            QStringLiteral(
                "Export complete -  1 errors and  0 warnings encountered.  View log file now?"));
        QCOMPARE(texts[2], QStringLiteral("View CSV output file now?"));
        const QStringList log = logBody(env.app->log.strLogFileName());
        QCOMPARE(log.size(), 1);
        QVERIFY2(log[0].startsWith(QStringLiteral("(error) ")) &&
                     log[0].endsWith(
                         QStringLiteral(") in procedure cmdDumpData_Click of Form frmDumpInfo")),
                 qPrintable(log[0]));
        QVERIFY(progress.values.isEmpty());
    }

    // Row numbers and the caption's counts are not held to 16 bits.
    void gridPastSixteenBits()
    {
        TestEnvironment env;
        env.database();
        SelectionGrid grid;
        grid.setRedraw(false);
        for (int i = 1; i <= 40000; ++i)
            addGridRow(grid, QStringLiteral("X%1").arg(i), QString(),
                       QStringLiteral("Name %1").arg(i), QString(), false);
        RecordingProgress progress;
        ExportRun run(*env.app, grid, progress);
        run.run(env.path(QStringLiteral("out.csv")));
        QCOMPARE(progress.maximum, 40000);
        QCOMPARE(progress.values.last(), 40000);
        const QStringList log = logBody(env.app->log.strLogFileName());
        QCOMPARE(log.size(), 40000);
        QCOMPARE(log[32767], QStringLiteral("[32768 of 40000] Name 32768"));
        QCOMPARE(log.last(), QStringLiteral("[40000 of 40000] Name 40000"));
    }

    void clickDuringARunStartsNoSecondRun()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        ClickingUserInterface ui;
        AppContext app(ui, env.shell, *env.registry, ProgramInfo::inFolder(env.folder()),
                       env.clock);
        app.strConnectionString = env.connectionString();
        SelectionGrid grid;
        addFixtureOwners(grid);
        RecordingProgress progress;
        ExportRun run(app, grid, progress);
        const QString out = env.path(QStringLiteral("out.csv"));
        std::optional<ExportRun::Result> second;
        ui.onYield = [&] {
            QVERIFY(run.isRunning());
            second = run.run(env.path(QStringLiteral("second.csv")));
        };
        QCOMPARE(run.run(out), ExportRun::Result::Completed);
        QCOMPARE(second, ExportRun::Result::AlreadyRunning);
        QVERIFY(!QFile::exists(env.path(QStringLiteral("second.csv"))));
        QCOMPARE(readFile(out), crlfJoined(fixtureCsvLines()));
        QCOMPARE(ui.shown.size(), 2);
        QCOMPARE(QDir(app.log.logFolder()).entryList(QDir::Files).size(), 1);
    }

    void exitDuringARunClosesTheLog()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        ClickingUserInterface ui;
        AppContext app(ui, env.shell, *env.registry, ProgramInfo::inFolder(env.folder()),
                       env.clock);
        app.strConnectionString = env.connectionString();
        SelectionGrid grid;
        addFixtureOwners(grid);
        RecordingProgress progress;
        ExportRun run(app, grid, progress);
        ui.onYield = [&] { app.services.ExitApplication(); };
        QVERIFY_THROWS_EXCEPTION(ExitRequested, run.run(env.path(QStringLiteral("out.csv"))));
        QCOMPARE(ui.exits, 1);
        QVERIFY(!app.log.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestExportRun)
#include "tst_exportrun.moc"
