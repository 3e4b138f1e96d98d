#include "log/Logging.h"
#include "support/TestEnvironment.h"

#include <QtTest>

using namespace tarnwick;
using tarnwick::test::TestEnvironment;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void touch(const QString& path, const QDateTime& modified)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old log\r\n") && f.flush());
    QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nameHeaderAndFolder()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2010, 10, 5), QTime(14, 3, 27)));
        Logging& log = env.app->log;
        QVERIFY(!QDir(log.logFolder()).exists());

        const QString path = log.GenerateNewLogFileName();
        QCOMPARE(path, env.folder() + "/logs/Tarnwick_Log_20101005_14_03_27.TXT");
        QCOMPARE(log.strLogFileName(), path);

        log.OpenLogFile(path, false);
        QCOMPARE(log.intErrorCount(), 0); // the header names both markers but counts neither
        QCOMPARE(log.intWarningCount(), 0);
        log.WriteToLog("[1 of 1] Zoë Müller");
        log.CloseLogFile();
        log.CloseLogFile(); // closing twice is harmless

        const QByteArray bytes = readAll(path);
        const QByteArray rule(61, '*');
        const QByteArray expectedStart = "\r\n" + rule + "\r\nRunning tarnwick version: 1.0.1\r\n\r\n"
                                         "Search for '(error)' or '(warning)' to find logged errors and warnings "
                                         "during the import process.\r\n\r\n" +
                                         rule + "\r\n\r\nStarting process at:";
        QVERIFY2(bytes.startsWith(expectedStart), bytes.left(400).constData());
        const QByteArray afterStart = bytes.mid(expectedStart.size());
        QVERIFY(!afterStart.startsWith(' '));
        QVERIFY(afterStart.contains("2010"));
        // Every line ends with CR LF; non-ASCII text goes out in the system code page (UTF-8 here).
        QVERIFY(bytes.endsWith("\r\n\r\n[1 of 1] Zo\xc3\xab M\xc3\xbcller\r\n"));
        QVERIFY(!bytes.contains("\n\n"));

        // A second run in the same second gets a name of its own and leaves the first log alone.
        const QString second = log.GenerateNewLogFileName();
        QCOMPARE(second, env.folder() + "/logs/Tarnwick_Log_20101005_14_03_27_2.TXT");
        log.OpenLogFile(second, false);
        log.CloseLogFile();
        QCOMPARE(readAll(path), bytes);
        QVERIFY(log.GenerateNewLogFileName().endsWith("_3.TXT"));
    }

    void countsMarkersInAnyCase_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("warnings");
        QTest::newRow("capitals") << "something (ERROR) happened" << 1 << 0;
        QTest::newRow("warning capital W") << "(Warning) member without alias" << 0 << 1;
        QTest::newRow("both count once each") << "(error) and (warning) and (error)" << 1 << 1;
        QTest::newRow("bare word") << "error warning" << 0 << 0;
        QTest::newRow("driver failure text") << "Error in ExportData on frmDumpInfo:Overflow" << 0 << 0;
    }

    void countsMarkersInAnyCase()
    {
        QFETCH(QString, line);
        QFETCH(int, errors);
        QFETCH(int, warnings);
        TestEnvironment env;
        Logging& log = env.app->log;
        log.OpenLogFile(log.GenerateNewLogFileName(), false);
        log.WriteToLog(line);
        QCOMPARE(log.intErrorCount(), errors);
        QCOMPARE(log.intWarningCount(), warnings);
    }

    void countsGoPastSixteenBits()
    {
        TestEnvironment env;
        Logging& log = env.app->log;
        log.OpenLogFile(log.GenerateNewLogFileName(), false);
        const int before = env.ui.yields;
        for (int i = 0; i < 40000; ++i)
            log.WriteToLog(QString("(error) (warning) row %1").arg(i));
        QCOMPARE(log.intErrorCount(), 40000);
        QCOMPARE(log.intWarningCount(), 40000);
        QCOMPARE(env.ui.yields - before, 40000); // one yield per line keeps the window alive
        // A new run starts counting again.
        log.CloseLogFile();
        log.OpenLogFile(log.GenerateNewLogFileName(), false);
        QCOMPARE(log.intErrorCount(), 0);
        QCOMPARE(log.intWarningCount(), 0);
    }

    void pruningByCalendarDays()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 12, 6), QTime(0, 0, 5)));
        const QString folder = env.app->log.logFolder();
        QVERIFY(QDir().mkpath(folder + "/subfolder"));
        const QDate today = env.clock.now().date();
        touch(folder + "/kept_30_days_late.TXT", QDateTime(today.addDays(-30), QTime(0, 0, 1)));
        touch(folder + "/kept_30_days_early.txt", QDateTime(today.addDays(-30), QTime(23, 59, 59)));
        touch(folder + "/gone_31_days.TXT", QDateTime(today.addDays(-31), QTime(23, 59, 59)));
        touch(folder + "/gone_any_name.dat", QDateTime(today.addDays(-400), QTime(12, 0)));
        touch(folder + "/gone_read_only.TXT", QDateTime(today.addDays(-45), QTime(12, 0)));
        QVERIFY(QFile::setPermissions(folder + "/gone_read_only.TXT", QFileDevice::ReadOwner));

        env.app->log.GenerateNewLogFileName();

        QStringList left = QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QCOMPARE(left, QStringList({"kept_30_days_early.txt", "kept_30_days_late.TXT", "subfolder"}));
        QVERIFY(env.ui.shown.isEmpty());
    }

    void failuresAreReportedOrPassedOver()
    {
        TestEnvironment env;
        // The program folder is a file, so the log folder cannot be made.
        const QString blocker = env.path("blocked");
        touch(blocker, env.clock.now());
        const ProgramInfo program = ProgramInfo::inFolder(blocker);
        Logging log(env.ui, program, env.clock);

        const QString path = log.GenerateNewLogFileName();
        QVERIFY(path.startsWith(blocker + "/logs/Tarnwick_Log_"));
        const QStringList reported{"(error):76 (Path not found) in procedure GenerateNewLogFileName of Module Module1"};
        QCOMPARE(env.ui.texts(), reported);

        // Opening and writing never report: the lines are lost, the counts still kept.
        log.OpenLogFile(path, false);
        log.WriteToLog("(warning) lost");
        log.CloseLogFile();
        QCOMPARE(env.ui.texts(), reported);
        QCOMPARE(log.intWarningCount(), 1);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
