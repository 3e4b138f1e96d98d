#include "cli/Console.h"
#include "cli/ExportCommand.h"

#include "ExportTestSupport.h"
#include "app/Startup.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

// Runs the command's core in this process, in the environment's folder, where
// the fixed connection string finds the environment's database.
struct InProcessRun
{
    explicit InProcessRun(TestEnvironment& environment)
        : env(environment), console(buffer, false), progress(console)
    {
        buffer.open(QIODevice::WriteOnly);
        previous = QDir::currentPath();
        QDir::setCurrent(env.folder());
    }
    ~InProcessRun() { QDir::setCurrent(previous); }
    int run(const QStringList& arguments)
    {
        const ExportCommandOptions options = parseExportArguments(arguments);
        if (!options.error.isEmpty())
            qWarning() << options.error;
        return runExportCommand(*env.app, options, progress, progress);
    }

    TestEnvironment& env;
    QBuffer buffer;
    Console console;
    ConsoleProgress progress;
    QString previous;
};

} // namespace

class TestExportCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("inputs"); // low, high, csv, cos name, sub string
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("error");
        const auto none = QStringList(5);
        const auto out = QStringList{QStringLiteral("-o"), QStringLiteral("out.csv")};
        QTest::newRow("all") << QStringList{QStringLiteral("--all"), QStringLiteral("--output"),
                                            QStringLiteral("a b.csv")}
                             << 1 << none << QStringLiteral("a b.csv") << false;
        QTest::newRow("range")
            << (QStringList{QStringLiteral("--range"), QStringLiteral("100-199")} + out) << 2
            << QStringList{QStringLiteral("100"), QStringLiteral("199"), {}, {}, {}}
            << QStringLiteral("out.csv") << false;
        QTest::newRow("range with blanks and a sign")
            << (QStringList{QStringLiteral("--range= -5 - 10 ")} + out) << 2
            << QStringList{QStringLiteral(" -5 "), QStringLiteral(" 10 "), {}, {}, {}}
            << QStringLiteral("out.csv") << false;
        QTest::newRow("range without a dash")
            << (QStringList{QStringLiteral("--range"), QStringLiteral("100")} + out) << 2
            << QStringList{{}, {}, {}, {}, {}} << QStringLiteral("out.csv") << true;
        QTest::newRow("csv") << (QStringList{QStringLiteral("--csv"), QStringLiteral("in.csv")} +
                                 out)
                             << 6 << QStringList{{}, {}, QStringLiteral("in.csv"), {}, {}}
                             << QStringLiteral("out.csv") << false;
        QTest::newRow("cos")
            << (QStringList{QStringLiteral("--cos"), QStringLiteral("Sales, EMEA")} + out) << 7
            << QStringList{{}, {}, {}, QStringLiteral("Sales, EMEA"), {}}
            << QStringLiteral("out.csv") << false;
        QTest::newRow("name contains")
            << (QStringList{QStringLiteral("--name-contains"), QStringLiteral("smith;ann")} + out)
            << 10 << QStringList{{}, {}, {}, {}, QStringLiteral("smith;ann")}
            << QStringLiteral("out.csv") << false;
        QTest::newRow("cos contains")
            << (QStringList{QStringLiteral("--cos-contains"), QStringLiteral("exec")} + out) << 11
            << QStringList{{}, {}, {}, {}, QStringLiteral("exec")} << QStringLiteral("out.csv")
            << false;
        QTest::newRow("no selection") << out << 1 << none << QStringLiteral("out.csv") << true;
        QTest::newRow("two selections")
            << (QStringList{QStringLiteral("--all"), QStringLiteral("--cos"), QStringLiteral("x")} +
                out)
            << 7 << QStringList{{}, {}, {}, QStringLiteral("x"), {}} << QStringLiteral("out.csv")
            << true;
        QTest::newRow("no output")
            << QStringList{QStringLiteral("--all")} << 1 << none << QString() << true;
        QTest::newRow("unknown option")
            << (QStringList{QStringLiteral("--everyone")} + out) << 1 << none << QString() << true;
        QTest::newRow("stray argument")
            << (QStringList{QStringLiteral("--all"), QStringLiteral("extra")} + out) << 1 << none
            << QString() << true;
        QTest::newRow("missing value")
            << QStringList{QStringLiteral("--all"), QStringLiteral("--output")} << 1 << none
            << QString() << true;
    }
    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, mode);
        QFETCH(QStringList, inputs);
        QFETCH(QString, output);
        QFETCH(bool, error);
        const ExportCommandOptions options = parseExportArguments(arguments);
        QCOMPARE(!options.error.isEmpty(), error);
        QVERIFY(!options.help);
        if (error)
            return;
        QCOMPARE(options.request.mode, mode);
        QCOMPARE(QStringList({options.request.low, options.request.high, options.request.csvPath,
                              options.request.cosName, options.request.subString}),
                 inputs);
        QCOMPARE(options.output, output);
    }

    void plainProgressIsOneLinePerRow()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        Console console(buffer, false);
        ConsoleProgress progress(console);
        ConsoleUserInterface ui(console, ExitStatus::NotRun);
        progress.setRange(0, 2);
        progress.setValue(1);
        progress.setCaption(QStringLiteral("[1 of 2] Smith, John"));
        progress.setValue(2);
        progress.setCaption(QStringLiteral("[2 of 2] Zoë"));
        QVERIFY(!ui.askYesNo(QStringLiteral("View CSV output file now?")));
        ui.showMessage(QStringLiteral("Done"));
        QCOMPARE(QString::fromUtf8(buffer.data()),
                 QStringLiteral(
                     "[1 of 2] Smith, John\n[2 of 2] Zoë\nView CSV output file now? [No]\nDone\n"));
    }

    void liveProgressRedrawsOneLine()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        Console console(buffer, true);
        ConsoleProgress progress(console);
        progress.setRange(0, 4);
        for (int i = 1; i <= 4; ++i) {
            progress.setValue(i);
            progress.setCaption(QStringLiteral("[%1 of 4] Name").arg(i));
        }
        console.line(QStringLiteral("Export complete"));
        const QString text = QString::fromUtf8(buffer.data());
        // Only the last row is sure to be drawn (the rest are throttled), always in place, then
        // closed.
        QVERIFY2(text.contains(QStringLiteral("\r[####################] 100% [4 of 4] Name")),
                 qPrintable(text));
        QVERIFY(text.endsWith(QStringLiteral("\nExport complete\n")));
        QCOMPARE(text.count(QLatin1Char('\n')), 2);
        QCOMPARE(ConsoleProgress::bar(1, 0, 4), QStringLiteral("[#####...............]  25% "));
    }

    void exitStatuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("nullMember");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // one of the texts shown
        QTest::newRow("success")
            << QStringList{QStringLiteral("--all")} << false << 0
            << QStringLiteral("Export complete -  0 errors and  0 warnings encountered.  View log "
                              "file now?");
        QTest::newRow("errors logged")
            << QStringList{QStringLiteral("--all")} << true << 1
            << QStringLiteral("Export complete -  1 errors and  0 warnings encountered.  "
                              "View log file now?");
        QTest::newRow("class of service by name")
            << QStringList{QStringLiteral("--cos"), QStringLiteral("Default")} << false << 0
            << QStringLiteral("View CSV output file now?");
        QTest::newRow("unknown class of service")
            << QStringList{QStringLiteral("--cos"), QStringLiteral("Nope")} << false << 2
            << QStringLiteral("No class of service is named \"Nope\"");
        QTest::newRow("nobody chosen")
            << QStringList{QStringLiteral("--name-contains"), QStringLiteral("zzz")} << false << 2
            << QStringLiteral("You must select at least one user to be processed");
        QTest::newRow("range refused")
            << QStringList{QStringLiteral("--range"), QStringLiteral("200-100")} << false << 2
            << QStringLiteral("The upper extension range must be strictly higher than the "
                              "lower extension range");
    }
    void exitStatuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, nullMember);
        QFETCH(int, status);
        QFETCH(QString, message);
        TestEnvironment env;
        buildWalkFixture(env.database());
        if (nullMember)
            env.database().addMember(QStringLiteral("L-EMPTY"), 1, std::nullopt,
                                     QStringLiteral("x"), QStringLiteral("X"));
        InProcessRun run(env);
        QCOMPARE(run.run(arguments + QStringList{QStringLiteral("--output"),
                                                 env.path(QStringLiteral("out.csv"))}),
                 status);
        QCOMPARE(env.app->strConnectionString, kConnectionString); // the gates ran
        QVERIFY2(env.ui.texts().contains(message),
                 qPrintable(env.ui.texts().join(QLatin1Char('\n'))));
        QCOMPARE(QFile::exists(env.path(QStringLiteral("out.csv"))), status != 2);
    }

    void binaryHelpAndUsage()
    {
        QTemporaryDir dir;
        const QString registry = TestEnvironment::registryText();
        const CommandResult help =
            runExportBinary(dir.path(), {QStringLiteral("--help")}, registry);
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(QStringLiteral("--name-contains TEXT")));
        QVERIFY(help.out.contains(QStringLiteral("Exit status:")));
        const CommandResult usage =
            runExportBinary(dir.path(), {QStringLiteral("--all")}, registry);
        QCOMPARE(usage.exitCode, 2);
        QVERIFY(usage.err.contains(QStringLiteral("--output FILE")));
        QVERIFY(!QDir(dir.filePath(QStringLiteral("logs"))).exists());
    }

    void binaryFailedGate_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<QString>("message");
        QTest::newRow("old version")
            << TestEnvironment::registryText(0x00040000, 0x00030063) << kVersionGateMessage;
        QTest::newRow("Domino") << TestEnvironment::registryText(0x00040000, 0x00030064,
                                                                 kDominoProgId)
                                << kDominoGateMessage;
    }
    void binaryFailedGate()
    {
        QFETCH(QString, registry);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const CommandResult result = runExportBinary(dir.path(),
                                                     {QStringLiteral("--all"), QStringLiteral("-o"),
                                                      dir.filePath(QStringLiteral("out.csv"))},
                                                     registry);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.csv"))));
    }
};

QTEST_GUILESS_MAIN(TestExportCommand)
#include "tst_exportcommand.moc"
