#include "SelectFixture.h"
#include "app/AppContext.h"
#include "select/CsvSubscriberImport.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

using namespace tarnwick;
using tarnwick::test::TestEnvironment;

namespace {

const QString kOpenError = QStringLiteral("Error - Could not open CSV file");
const QString kFormatError = QStringLiteral("Error - CSV File is not formatted correctly.  Review "
                                            "the help file for details on format constraints.");

QString summary(qint64 lines, qint64 users)
{
    return QStringLiteral(
               "Import complete.  %1 lines read in from text file,  %2 users added to grid.")
        .arg(lines)
        .arg(users);
}

struct Import
{
    Import() { test::addSelectionOrganisation(env.database()); }

    // Writes `bytes` to a file and imports it; the database must come out unchanged.
    void run(const QByteArray& bytes)
    {
        const QString path = env.path(QStringLiteral("subscribers.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        runPath(path);
    }
    void runPath(const QString& path)
    {
        const QByteArray before = test::fileDigest(env.path(QStringLiteral("OrvaneDb")));
        importer.run(path);
        QCOMPARE(test::fileDigest(env.path(QStringLiteral("OrvaneDb"))), before);
    }
    QStringList aliases() const
    {
        QStringList out;
        for (int r = 1; r < grid.Rows(); ++r)
            out << grid.text(r, QStringLiteral("Alias"));
        return out;
    }

    TestEnvironment env;
    SelectionGrid grid;
    ProgressLabels progress;
    SubscriberSelection selection{*env.app, grid, progress};
    CsvSubscriberImport importer{selection};
};

QByteArray garbage(int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator rng(7);
    for (char& c : bytes)
        c = static_cast<char>(rng.bounded(256));
    return bytes;
}

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookups_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<int>("lines");
        const QStringList none;
        QTest::newRow("extension wins over alias")
            << QByteArray("alias,Extension\r\njwhite,1234\r\n")
            << QStringList{QStringLiteral("jsmith")} << 1;
        QTest::newRow("extension not a number") << QByteArray("alias,Extension\r\njwhite,12a\r\n")
                                                << QStringList{QStringLiteral("jwhite")} << 1;
        QTest::newRow("extension empty") << QByteArray("alias,Extension\r\njwhite,\r\n")
                                         << QStringList{QStringLiteral("jwhite")} << 1;
        QTest::newRow("extension not found") << QByteArray("alias,Extension\r\njwhite,5555\r\n")
                                             << QStringList{QStringLiteral("jwhite")} << 1;
        QTest::newRow("extension as text") << QByteArray("Extension\r\n123\r\n 0123 \r\n")
                                           << QStringList{QStringLiteral("jwhite")} << 2;
        QTest::newRow("extension only, not found")
            << QByteArray("Extension\r\n5555\r\n") << none << 1;
        QTest::newRow("header case and blanks") << QByteArray(" ALIAS , extension \r\njsmith,\r\n")
                                                << QStringList{QStringLiteral("jsmith")} << 1;
        QTest::newRow("columns reversed, quote doubled")
            << QByteArray("Extension,alias,x\r\n,o'brien\r\n")
            << QStringList{QStringLiteral("o'brien")} << 1;
        QTest::newRow("first matching column wins")
            << QByteArray("alias,alias\r\njsmith,jwhite\r\n")
            << QStringList{QStringLiteral("jsmith")} << 1;
        QTest::newRow("fields in quotes stay quoted")
            << QByteArray("alias\r\n\"jsmith\"\r\n") << none << 1;
        QTest::newRow("alias taken as written") << QByteArray("alias\r\n jsmith\r\n") << none << 1;
        QTest::newRow("alias holding SQL")
            << QByteArray("alias\r\nx' OR '1'='1\r\n') OR SubscriberType IN (1,3) --\r\n") << none
            << 2;
        QTest::newRow("type 2 is not found") << QByteArray("alias\r\nsystem\r\n") << none << 1;
        QTest::newRow("fewer fields than the header")
            << QByteArray("Extension,alias\r\n1234\r\njwhite\r\n,jwhite\r\n")
            << QStringList{QStringLiteral("jsmith"), QStringLiteral("jwhite")} << 3;
        QTest::newRow("empty lines count") << QByteArray("alias\r\n\r\njsmith\r\n\r\n")
                                           << QStringList{QStringLiteral("jsmith")} << 3;
        QTest::newRow("LF line ends, no last terminator")
            << QByteArray("alias\njsmith\njwhite")
            << QStringList{QStringLiteral("jsmith"), QStringLiteral("jwhite")} << 2;
        QTest::newRow("CR line ends")
            << QByteArray("alias\rjsmith\r") << QStringList{QStringLiteral("jsmith")} << 1;
        QTest::newRow("bytes outside the code page")
            << QByteArray("alias\r\n\xff\xfejsmith\r\njs\xc3mith\r\n\x80\r\n") << none << 3;
        QTest::newRow("one megabyte lines")
            << (QByteArray("alias,Extension\r\n") + QByteArray(1 << 20, 'x') + ",1234\r\n" +
                QByteArray(1 << 20, 'y') + ",none\r\n")
            << QStringList{QStringLiteral("jsmith")} << 2;
        QTest::newRow("header only") << QByteArray("alias,Extension\r\n") << none << 0;
    }
    void lookups()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, aliases);
        QFETCH(int, lines);
        Import import;
        import.run(file);
        QCOMPARE(import.aliases(), aliases);
        QCOMPARE(import.env.ui.texts(), QStringList{summary(lines, aliases.size())});
        QCOMPARE(import.progress.of, QString());
        QCOMPARE(import.progress.shows, 0); // the window stays hidden during an import
        if (lines > 0)
            QCOMPARE(import.progress.count, QStringLiteral("Lines=%1").arg(lines));
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty file") << QByteArray() << kFormatError;
        QTest::newRow("header of one character") << QByteArray("a\r\njsmith\r\n") << kFormatError;
        QTest::newRow("header in double quotes")
            << QByteArray("\"alias\",\"Extension\"\r\njsmith,1234\r\n") << kFormatError;
        QTest::newRow("no known column")
            << QByteArray("name,number\r\njsmith,1234\r\n") << kFormatError;
        QTest::newRow("binary garbage") << garbage(200000) << kFormatError;
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        Import import;
        import.run(file);
        QCOMPARE(import.env.ui.texts(), QStringList({message, summary(0, 0)}));
        QCOMPARE(import.grid.Rows(), 1);
    }

    void unopenableFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << QStringLiteral("absent.csv");
        QTest::newRow("a folder") << QStringLiteral(".");
        QTest::newRow("no path") << QString();
    }
    void unopenableFiles()
    {
        QFETCH(QString, name);
        Import import;
        import.runPath(name.isEmpty() ? name : import.env.path(name));
        QCOMPARE(import.env.ui.texts(), QStringList({kOpenError, summary(0, 0)}));
    }

    void summaryCountsWhatTheGridGained()
    {
        Import import;
        import.selection.AddUserToGrid(QStringLiteral("s-5")); // rows already there are not counted
        import.run("alias\r\njsmith\r\njsmith\r\nlostcos\r\n");
        QCOMPARE(import.aliases(), QStringList({QStringLiteral("nofirst"), QStringLiteral("jsmith"),
                                                QStringLiteral("jsmith")}));
        QCOMPARE(import.env.ui.texts(),
                 QStringList({QStringLiteral("Unable to find single COS instance by "
                                             "ObjectID=cos-gone in AddUsersToGrid routine"),
                              summary(3, 2)}));
        QCOMPARE(import.progress.total, QStringLiteral("Users added=3"));
        QCOMPARE(import.importer.usersAdded(), 3);
        QVERIFY(import.env.ui.yields >= 6); // after each line and each subscriber
    }

    void unreachableDatabaseAddsNobodyQuietly()
    {
        Import import;
        import.env.app->strConnectionString = demo::DemoDatabase::sqliteConnectionString(
            import.env.path(QStringLiteral("no/such/folder/OrvaneDb")));
        import.run("alias,Extension\r\njsmith,1234\r\n");
        QCOMPARE(import.env.ui.texts(), QStringList{summary(1, 0)});
    }

    // No 16-bit counters: the line count goes past 32,767.
    void hundredThousandLines()
    {
        Import import;
        QByteArray file("Extension,alias\r\n");
        file.reserve(2'000'000);
        for (int i = 1; i <= 100000; ++i)
            file +=
                (i % 25000 == 0 ? QByteArray(",jsmith") : QByteArray::number(50000 + i)) + "\r\n";
        import.run(file);
        QCOMPARE(import.env.ui.texts(), QStringList{summary(100000, 4)});
        QCOMPARE(import.progress.count, QStringLiteral("Lines=100000"));
        QCOMPARE(import.grid.Rows(), 5);
    }
};

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csvimport.moc"
