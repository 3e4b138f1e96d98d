#include "log/Logging.h"
#include "support/TestEnvironment.h"

#include <QtTest>

#include <sys/stat.h>
#include <sys/time.h>

using namespace tarnwick;
using tarnwick::test::readFile;
using tarnwick::test::TestEnvironment;
using namespace Qt::StringLiterals;

namespace {

void touch(const QString& path, const QDateTime& modified)
{
    QFile f(tarnwick::test::writeFile(path, "old log\r\n"));
    QVERIFY(f.open(QIODevice::Append) && f.setFileTime(modified, QFileDevice::FileModificationTime));
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

        const QByteArray bytes = readFile(path);
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
        QCOMPARE(readFile(path), bytes);
        QVERIFY(log.GenerateNewLogFileName().endsWith("_3.TXT"));
    }

    // A line counts when the program wrote it as an error or a warning: the marker comes first. Counts are not held
    // to 16 bits, each line yields once (the window stays alive), and a new run counts from 0 again.
    void countsMarkers_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("times");
        QTest::addColumn<int>("errors"); // for each time
        QTest::addColumn<int>("warnings");
        const auto row = [](const char* tag, const char* line, int errors, int warnings, int times = 1) {
            QTest::newRow(tag) << QString::fromUtf8(line) << times << errors << warnings;
        };
        row("capitals", "(ERROR) 61 (Disk full) in procedure X", 1, 0);
        row("warning capital W, indented", "            (Warning) member without alias", 0, 1);
        row("an error line naming a warning", "(error) 5 (driver says (warning)) in X", 1, 0);
        row("driver failure text", "Error in ExportData on frmDumpInfo:Overflow", 0, 0);
        row("marker inside a name", "[3 of 9] Ops (error) team (warning)", 0, 0);
        row("errors past 16 bits", "(error) row", 1, 0, 40000);
        row("warnings past 16 bits", "    (warning) row", 0, 1, 40000);
    }
    void countsMarkers()
    {
        QFETCH(QString, line);
        QFETCH(int, times);
        QFETCH(int, errors);
        QFETCH(int, warnings);
        TestEnvironment env;
        Logging& log = env.app->log;
        log.OpenLogFile(log.GenerateNewLogFileName(), false);
        const int before = env.ui.yields;
        for (int i = 0; i < times; ++i)
            log.WriteToLog(line);
        QCOMPARE(log.intErrorCount(), errors * times);
        QCOMPARE(log.intWarningCount(), warnings * times);
        QCOMPARE(env.ui.yields - before, times);
        log.CloseLogFile();
        log.OpenLogFile(log.GenerateNewLogFileName(), false);
        QVERIFY(log.intErrorCount() == 0 && log.intWarningCount() == 0);
    }

    // Each entry by its own date: a link is removed as a link, what it names is never touched, nor a subfolder.
    void pruningByCalendarDays()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 12, 6), QTime(0, 0, 5)));
        const QString folder = env.app->log.logFolder();
        QVERIFY(QDir().mkpath(folder + "/subfolder"));
        const QDate today = env.clock.now().date();
        const QDateTime old(today.addDays(-45), QTime(12, 0));
        touch(folder + "/kept_30_days_late.TXT", QDateTime(today.addDays(-30), QTime(0, 0, 1)));
        touch(folder + "/kept_30_days_early.txt", QDateTime(today.addDays(-30), QTime(23, 59, 59)));
        touch(folder + "/gone_31_days.TXT", QDateTime(today.addDays(-31), QTime(23, 59, 59)));
        touch(folder + "/gone_any_name.dat", QDateTime(today.addDays(-400), QTime(12, 0)));
        touch(folder + "/gone_read_only.TXT", old);
        touch(folder + "/subfolder/old.TXT", old);
        const timeval oldTimes[2] = {{old.toSecsSinceEpoch(), 0}, {old.toSecsSinceEpoch(), 0}};
        QVERIFY(::utimes(QFile::encodeName(folder + "/subfolder"), oldTimes) == 0); // an old folder stays all the same
        QVERIFY(QFile::setPermissions(folder + "/gone_read_only.TXT", QFileDevice::ReadOwner));
        QVERIFY(QDir().mkdir(env.path("outside")));
        const QString target = env.path("outside/old.txt"); // old, read-only, setuid: a link to it must change nothing
        touch(target, old);
        QVERIFY(::chmod(QFile::encodeName(target), 04555) == 0);
        const auto linkTo = [&](const QString& name, const QDateTime& own) {
            QVERIFY(QFile::link(target, folder + "/" + name));
            const timeval times[2] = {{own.toSecsSinceEpoch(), 0}, {own.toSecsSinceEpoch(), 0}};
            QVERIFY(::lutimes(QFile::encodeName(folder + "/" + name), times) == 0);
        };
        linkTo("gone_old_link.TXT", old);
        linkTo("kept_new_link_to_old_file.TXT", env.clock.now());
        QVERIFY(QFile::link(env.path("nowhere"), folder + "/kept_dangling_new_link"));

        env.app->log.GenerateNewLogFileName();

        QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        QCOMPARE(left, QStringList({"kept_30_days_early.txt", "kept_30_days_late.TXT", "kept_dangling_new_link",
                                    "kept_new_link_to_old_file.TXT", "subfolder"}));
        QVERIFY(QFile::exists(folder + "/subfolder/old.TXT"));
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(target), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(04555));
        QCOMPARE(readFile(target), QByteArray("old log\r\n"));
        QVERIFY(env.ui.shown.isEmpty());
    }

    // Where the log goes when the folder beside the program cannot take it, and what is told: the true cause, in
    // the procedure's words. With nowhere to go, no log is written, and the lines are lost but still counted.
    void logFolder_data()
    {
        QTest::addColumn<QString>("blocked"); // made a file: "program", "logs", "user data"
        QTest::addColumn<QString>("folder");  // where the log is, relative to the program's folder; empty: none
        QTest::addColumn<QStringList>("told");
        const QString in = u" in procedure GenerateNewLogFileName of Module Module1"_s;
        QTest::newRow("beside the program") << ""
                                            << "logs" << QStringList();
        QTest::newRow("a file named logs")
            << "logs"
            << "user data/logs" << QStringList("(error):75 (Path/File access error)" + in);
        QTest::newRow("program folder a file") << "program"
                                               << "user data/logs" << QStringList("(error):76 (Path not found)" + in);
        QTest::newRow("nowhere") << "logs|user data"
                                 << ""
                                 << QStringList({"(error):75 (Path/File access error)" + in,
                                                 "(error):76 (Path not found)" + in});
    }
    void logFolder()
    {
        QFETCH(QString, blocked);
        QFETCH(QString, folder);
        QFETCH(QStringList, told);
        TestEnvironment env;
        for (const QString& name : blocked.split(u'|', Qt::SkipEmptyParts))
            touch(env.path(name), env.clock.now());
        ProgramInfo program = TestEnvironment::programIn(env.folder());
        if (blocked == "program")
            program.folder = env.path("program");
        Logging log(env.ui, program, env.clock);

        const QString path = log.GenerateNewLogFileName();
        QCOMPARE(env.ui.texts(), told);
        log.OpenLogFile(path, false);
        log.WriteToLog("(warning) kept or lost");
        log.CloseLogFile();
        QCOMPARE(env.ui.texts(), told); // opening and writing never tell
        QCOMPARE(log.intWarningCount(), 1);
        QCOMPARE(log.logWritten(), !folder.isEmpty());
        QCOMPARE(log.logFailure().has_value(), folder.isEmpty());
        if (!folder.isEmpty()) {
            QCOMPARE(QFileInfo(path).path(), QDir::cleanPath(env.path(folder)));
            QVERIFY(readFile(path).endsWith("\r\n(warning) kept or lost\r\n"));
        } else {
            QVERIFY(!QFile::exists(path));
        }
    }
};

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
