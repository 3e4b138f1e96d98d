#include "cli/Console.h"
#include "cli/ExportCommand.h"

#include "ExportTestSupport.h"
#include "app/Startup.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;
using namespace Qt::StringLiterals;

class TestExportCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("arguments"); // separated by '|'
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("inputs"); // low|high|csv|cos name|sub string; empty: refused
        QTest::newRow("all") << "--all|--output|a b.csv" << 1 << "||||";
        QTest::newRow("range") << "--range|100-199|-o|o" << 2 << "100|199|||";
        QTest::newRow("range, blanks, sign") << "--range= -5 - 10 |-o|o" << 2 << " -5 | 10 |||";
        QTest::newRow("csv") << "--csv|in.csv|-o|o" << 6 << "||in.csv||";
        QTest::newRow("cos") << "--cos|Sales, EMEA|-o|o" << 7 << "|||Sales, EMEA|";
        QTest::newRow("name contains") << "--name-contains|a;b|-o|o" << 10 << "||||a;b";
        QTest::newRow("cos contains") << "--cos-contains|exec|-o|o" << 11 << "||||exec";
        QTest::newRow("range without a dash") << "--range|100|-o|o" << 0 << "";
        QTest::newRow("no selection") << "-o|o" << 0 << "";
        QTest::newRow("two selections") << "--all|--cos|x|-o|o" << 0 << "";
        QTest::newRow("no output") << "--all" << 0 << "";
        QTest::newRow("unknown option") << "--everyone|-o|o" << 0 << "";
        QTest::newRow("stray argument") << "--all|extra|-o|o" << 0 << "";
        QTest::newRow("missing value") << "--all|--output" << 0 << "";
    }
    void parse()
    {
        QFETCH(QString, arguments);
        QFETCH(int, mode);
        QFETCH(QString, inputs);
        const QStringList args = arguments.split(u'|');
        const ExportCommandOptions options = parseExportArguments(args);
        QVERIFY(!options.help);
        QCOMPARE(options.error.isEmpty(), !inputs.isEmpty());
        if (inputs.isEmpty())
            return;
        const SelectionRequest& r = options.request;
        QCOMPARE(r.mode, mode);
        QCOMPARE(QStringList({r.low, r.high, r.csvPath, r.cosName, r.subString}).join(u'|'),
                 inputs);
        QCOMPARE(options.output, args.last());
    }

    // Without a terminal one line per row, on one a bar redrawn in place; questions are No.
    void progressOnTheConsole()
    {
        QBuffer plain, live;
        QVERIFY(plain.open(QIODevice::WriteOnly) && live.open(QIODevice::WriteOnly));
        Console plainConsole(plain, false), liveConsole(live, true);
        ConsoleProgress plainProgress(plainConsole), liveProgress(liveConsole);
        for (ConsoleProgress* progress : {&plainProgress, &liveProgress}) {
            progress->setRange(0, 2);
            progress->setValue(1);
            progress->setCaption(u"[1 of 2] Smith, John"_s);
            progress->setValue(2);
            progress->setCaption(u"[2 of 2] Zoë"_s);
        }
        QVERIFY(!ConsoleUserInterface(plainConsole, ExitStatus::NotRun).askYesNo(u"View?"_s));
        liveConsole.line(u"Done"_s);
        QCOMPARE(QString::fromUtf8(plain.data()),
                 u"[1 of 2] Smith, John\n[2 of 2] Zoë\nView? [No]\n"_s);
        const QString text = QString::fromUtf8(live.data());
        QVERIFY2(text.contains(u"\r[####################] 100% [2 of 2] Zoë"_s) &&
                     text.endsWith(u"\nDone\n"_s) && text.count(u'\n') == 2,
                 qPrintable(text));
        QCOMPARE(ConsoleProgress::bar(1, 0, 4), u"[#####...............]  25% "_s);
    }

    // tarnwick-export itself on the fixture; "o.csv" is written only when it exits 0 or 1.
    void exitStatuses_data()
    {
        QTest::addColumn<QString>("arguments"); // separated by '|'
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // in its output
        QTest::newRow("help") << "--help"
                              << "" << 0 << "--name-contains TEXT";
        QTest::newRow("success") << "--all|-o|o.csv"
                                 << "" << 0 << ExportRun::completionMessage(0, 0) + u" [No]"_s;
        QTest::newRow("class of service by name") << "--cos|Default|-o|o.csv"
                                                  << "" << 0 << "Log: ";
        QTest::newRow("errors logged") << "--all|-o|o.csv"
                                       << "null member" << 1 << ExportRun::completionMessage(1, 0);
        QTest::newRow("usage") << "--all"
                               << "" << 2 << "--output FILE";
        QTest::newRow("failed start-up check") << "--all|-o|o.csv"
                                               << "old version" << 2 << kVersionGateMessage;
        QTest::newRow("unknown class of service")
            << "--cos|Nope|-o|o.csv"
            << "" << 2 << "No class of service is named \"Nope\"";
        QTest::newRow("nobody chosen")
            << "--name-contains|zzz|-o|o.csv"
            << "" << 2 << "You must select at least one user to be processed";
    }
    void exitStatuses()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(QString, message);
        TestEnvironment env;
        buildWalkFixture(env.database());
        if (change == u"null member"_s)
            env.database().addMember(u"L-EMPTY"_s, 1, std::nullopt, u"x"_s, u"X"_s);
        const CommandResult result = runExportBinary(
            env.folder(), arguments.split(u'|'),
            change == u"old version"_s ? TestEnvironment::registryText(0x00040000, 0x00030063)
                                       : TestEnvironment::registryText());
        QCOMPARE(result.exitCode, status);
        QVERIFY2(result.output.contains(message), qPrintable(result.output));
        QCOMPARE(QFile::exists(env.path(u"o.csv"_s)), status < 2 && arguments != u"--help"_s);
    }
};

QTEST_GUILESS_MAIN(TestExportCommand)
#include "tst_exportcommand.moc"
