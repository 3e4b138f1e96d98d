#include "log/Logging.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace tarnwick;
using tarnwick::test::TestEnvironment;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void touch(const QString& path, const QDateTime& modified, bool readOnly = false)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old log\r\n");
    f.close();
    QVERIFY(f.open(QIODevice::Append));
    QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
    f.close();
    if (readOnly)
        QVERIFY(f.setPermissions(QFileDevice::ReadOwner));
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
        QCOMPARE(path, env.folder() + QStringLiteral("/logs/Tarnwick_Log_20101005_14_03_27.TXT"));
        QVERIFY(QDir(log.logFolder()).exists());
        QCOMPARE(log.strLogFileName(), path);

        log.OpenLogFile(path, false);
        QCOMPARE(log.intErrorCount(), 0);  // the header names both markers but counts neither
        QCOMPARE(log.intWarningCount(), 0);
        log.WriteToLog(QStringLiteral("[1 of 1] Zoë Müller"));
        log.CloseLogFile();
        log.CloseLogFile();  // closing twice is harmless

        const QByteArray bytes = readAll(path);
        const QByteArray rule(61, '*');
        const QByteArray expectedStart = "\r\n" + rule + "\r\nRunning tarnwick version: 1.0.1\r\n\r\n"
                                         "Search for '(error)' or '(warning)' to find logged errors and warnings "
                                         "during the import process.\r\n\r\n"
                                         + rule + "\r\n\r\nStarting process at:";
        QVERIFY2(bytes.startsWith(expectedStart), bytes.left(400).constData());
        const QByteArray afterStart = bytes.mid(expectedStart.size());
        QVERIFY(!afterStart.startsWith(' '));
        QVERIFY(afterStart.contains("2010"));
        // Every line ends with CR LF; non-ASCII text goes out in the system code page (UTF-8 here).
        QVERIFY(bytes.endsWith("\r\n\r\n[1 of 1] Zo\xc3\xab M\xc3\xbcller\r\n"));
        QVERIFY(!bytes.contains("\n\n"));
    }

    void countsMarkersInAnyCase_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("warnings");
        QTest::newRow("error marker") << "(error) 3021 (x) in procedure P" << 1 << 0;
        QTest::newRow("capitals") << "something (ERROR) happened" << 1 << 0;
        QTest::newRow("warning capital W") << "(Warning) member without alias" << 0 << 1;
        QTest::newRow("both count once each") << "(error) and (warning) and (error)" << 1 << 1;
        QTest::newRow("bare word") << "error warning" << 0 << 0;
        QTest::newRow("driver failure text") << "Error in ExportData on frmDumpInfo:Overflow" << 0 << 0;
        QTest::newRow("colon form") << "(error):5 (Invalid) in procedure X" << 1 << 0;
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
        // A new run starts counting again.
        log.CloseLogFile();
        log.OpenLogFile(log.GenerateNewLogFileName(), false);
        QCOMPARE(log.intErrorCount(), 0);
        QCOMPARE(log.intWarningCount(), 0);
    }

    void countsGoPastSixteenBits()
    {
        TestEnvironment env;
        Logging& log = env.app->log;
        log.OpenLogFile(log.GenerateNewLogFileName(), false);
        const int before = env.ui.yields;
        for (int i = 0; i < 40000; ++i)
            log.WriteToLog(QStringLiteral("(error) row %1").arg(i));
        QCOMPARE(log.intErrorCount(), 40000);
        QCOMPARE(env.ui.yields - before, 40000);  // one yield per line keeps the window alive
    }

    void secondRunInSameSecondKeepsFirstLog()
    {
        TestEnvironment env;
        Logging& log = env.app->log;
        const QString first = log.GenerateNewLogFileName();
        log.OpenLogFile(first, false);
        log.WriteToLog(QStringLiteral("first run"));
        log.CloseLogFile();

        const QString second = log.GenerateNewLogFileName();
        QVERIFY(second != first);
        QVERIFY(second.endsWith(QStringLiteral("_2.TXT")));
        log.OpenLogFile(second, false);
        log.CloseLogFile();
        QVERIFY(readAll(first).contains("first run"));
        QVERIFY(log.GenerateNewLogFileName().endsWith(QStringLiteral("_3.TXT")));
    }

    void pruningByCalendarDays()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 12, 6), QTime(0, 0, 5)));
        const QString folder = env.app->log.logFolder();
        QVERIFY(QDir().mkpath(folder));
        const QDate today = env.clock.now().date();
        touch(folder + QStringLiteral("/kept_30_days_late.TXT"), QDateTime(today.addDays(-30), QTime(0, 0, 1)));
        touch(folder + QStringLiteral("/kept_30_days_early.txt"), QDateTime(today.addDays(-30), QTime(23, 59, 59)));
        touch(folder + QStringLiteral("/gone_31_days.TXT"), QDateTime(today.addDays(-31), QTime(23, 59, 59)));
        touch(folder + QStringLiteral("/gone_any_name.dat"), QDateTime(today.addDays(-400), QTime(12, 0)));
        touch(folder + QStringLiteral("/gone_read_only.TXT"), QDateTime(today.addDays(-45), QTime(12, 0)), true);
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/subfolder")));

        env.app->log.GenerateNewLogFileName();

        QStringList left = QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QCOMPARE(left, QStringList({QStringLiteral("kept_30_days_early.txt"), QStringLiteral("kept_30_days_late.TXT"),
                                    QStringLiteral("subfolder")}));
        QVERIFY(env.ui.shown.isEmpty());
    }

    void failuresAreReportedOrPassedOver()
    {
        TestEnvironment env;
        // The program folder is a file, so the log folder cannot be made.
        QFile blocker(env.path(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ProgramInfo program = ProgramInfo::inFolder(blocker.fileName());
        Logging log(env.ui, program, env.clock);

        const QString path = log.GenerateNewLogFileName();
        QVERIFY(path.startsWith(blocker.fileName() + QStringLiteral("/logs/Tarnwick_Log_")));
        QCOMPARE(env.ui.texts(), QStringList({QStringLiteral(
                                     "(error):76 (Path not found) in procedure GenerateNewLogFileName of Module Module1")}));

        // Opening and writing never report: the lines are lost, the counts still kept.
        env.ui.clear();
        log.OpenLogFile(path, false);
        log.WriteToLog(QStringLiteral("(warning) lost"));
        log.CloseLogFile();
        QVERIFY(env.ui.shown.isEmpty());
        QCOMPARE(log.intWarningCount(), 1);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
