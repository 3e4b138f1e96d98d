#include "export/ExportRun.h"

#include "ExportTestSupport.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;
using namespace Qt::StringLiterals;

namespace {

// A run on the fixture, with a recorder that can click during its yields.
struct Driver
{
    Driver()
    {
        buildWalkFixture(env.database());
        app.strConnectionString = env.connectionString();
    }
    QStringList log() const { return logBody(app.log.strLogFileName()); }
    TestEnvironment env;
    ClickingUserInterface ui;
    AppContext app{ui, env.shell, *env.registry, ProgramInfo::inFolder(env.folder()), env.clock};
    SelectionGrid grid;
    RecordingProgress progress;
    ExportRun run{app, grid, progress};
};

const QString kViewCsv = u"View CSV output file now?"_s;

} // namespace

class TestExportRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Both questions come whatever the first answer; each Yes opens its file.
    void wholeRun_data()
    {
        QTest::addColumn<bool>("viewLog");
        QTest::newRow("log, not CSV") << true;
        QTest::newRow("CSV, not log") << false;
    }
    void wholeRun()
    {
        QFETCH(bool, viewLog);
        Driver d;
        addGridRow(d.grid, u"S-OWNER"_s, u"jsmith"_s, u"Smith, John"_s, u"1001"_s);
        // Not ticked: visited and logged, never walked.
        addGridRow(d.grid, u"S-'ANNA"_s, u"amuller"_s, u"Anna Müller"_s, u"2002"_s, false);
        addGridRow(d.grid, u"S-NOLISTS"_s, u"nolists"_s, u"Nobody \"Nolists\""_s, u"1002"_s);
        // An existing output goes without a question, even when read-only.
        const QString out = d.env.path(u"lists out.csv"_s);
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(2000, 'x')) == 2000);
        old.close();
        QVERIFY(old.setPermissions(QFileDevice::ReadOwner));
        d.ui.answer({viewLog, !viewLog});
        QCOMPARE(d.run.run(out), ExportRun::Result::Completed);
        QVERIFY(!d.run.isRunning() && !d.app.log.isOpen());

        QCOMPARE(readFile(out), crlfFile(fixtureCsvLines()));
        const QStringList captions{u"[1 of 3] Smith, John"_s, u"[2 of 3] Anna Müller"_s,
                                   u"[3 of 3] Nobody \"Nolists\""_s};
        QCOMPARE(d.log(), QStringList(captions[0]) + kOwnerLog +
                              QStringList({captions[1], captions[2], kNoListsLine}));
        QCOMPARE(d.progress.range, std::make_pair(0, 3));
        QCOMPARE(d.progress.values, QList<int>({0, 1, 2, 3}));
        QCOMPARE(d.progress.captions, captions);
        QCOMPARE(d.ui.texts(), QStringList({u"Export complete -  0 errors and  0 warnings "
                                            "encountered.  View log file now?"_s,
                                            kViewCsv}));
        QCOMPARE(d.ui.shown[0].title, u"Export Complete"_s);
        QCOMPARE(d.ui.shown[1].title, u"Tarnwick"_s);
        QCOMPARE(d.ui.shown[1].kind, RecordingUserInterface::Shown::YesNo);
        QCOMPARE(d.env.shell.editorFiles, QStringList(viewLog ? d.app.log.strLogFileName() : out));
    }

    // Told once, logged once and counted, no walk; the summary and questions still come.
    void outputThatCannotBeCreated_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing folder") << u"no such folder/out.csv"_s;
        QTest::newRow("a folder") << u"a folder"_s;
    }
    void outputThatCannotBeCreated()
    {
        QFETCH(QString, name);
        Driver d;
        QVERIFY(QDir(d.env.folder()).mkdir(u"a folder"_s));
        addFixtureOwners(d.grid);
        QCOMPARE(d.run.run(d.env.path(name)), ExportRun::Result::Completed);
        const QStringList texts = d.ui.texts();
        QCOMPARE(texts.size(), 3);
        QVERIFY2(texts[0].startsWith(u"Error in cmdDumpData_Click:"_s), qPrintable(texts[0]));
        QCOMPARE(texts.mid(1), QStringList({ExportRun::completionMessage(1, 0), kViewCsv}));
        QCOMPARE(d.log().size(), 1);
        QVERIFY2(d.log()[0].startsWith(u"(error) "_s) &&
                     d.log()[0].endsWith(u") in procedure cmdDumpData_Click of Form frmDumpInfo"_s),
                 qPrintable(d.log()[0]));
        QVERIFY(d.progress.values.isEmpty());
    }

    // Row numbers and the caption's counts are not held to 16 bits.
    void gridPastSixteenBits()
    {
        Driver d;
        d.grid.setRedraw(false);
        for (int i = 1; i <= 40000; ++i)
            addGridRow(d.grid, {}, {}, u"Name %1"_s.arg(i), {}, false);
        d.run.run(d.env.path(u"out.csv"_s));
        QCOMPARE(d.progress.values.last(), 40000);
        const QStringList log = d.log();
        QCOMPARE(log.size(), 40000);
        QCOMPARE(log[32767], u"[32768 of 40000] Name 32768"_s);
    }

    // A click during a run starts nothing; Exit still closes the log.
    void clicksDuringARun()
    {
        Driver d;
        addFixtureOwners(d.grid);
        std::optional<ExportRun::Result> second;
        d.ui.onYield = [&] {
            second = d.run.run(d.env.path(u"second.csv"_s));
            d.ui.onYield = [&] { d.app.services.ExitApplication(); };
        };
        QVERIFY_THROWS_EXCEPTION(ExitRequested, d.run.run(d.env.path(u"out.csv"_s)));
        QCOMPARE(second, ExportRun::Result::AlreadyRunning);
        QVERIFY(!QFile::exists(d.env.path(u"second.csv"_s)));
        QCOMPARE(QDir(d.app.log.logFolder()).entryList(QDir::Files).size(), 1);
        QCOMPARE(d.ui.exits, 1);
        QVERIFY(!d.app.log.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestExportRun)
#include "tst_exportrun.moc"
