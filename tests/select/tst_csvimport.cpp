#include "SelectFixture.h"
#include "select/CsvSubscriberImport.h"

#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

const QString kOpenError = u"Error - Could not open CSV file"_s;
const QString kFormatError = u"Error - CSV File is not formatted correctly.  Review the help file "
                             u"for details on format constraints."_s;

QString summary(qint64 lines, qint64 users)
{
    return u"Import complete.  %1 lines read in from text file,  %2 users added to grid."_s.arg(
        QString::number(lines), QString::number(users));
}

// Past every 16-bit counter: one alias every 25,000 lines, the rest extensions nobody has.
QByteArray hundredThousandLines()
{
    QByteArray file("Extension,alias\r\n");
    for (int i = 1; i <= 100000; ++i)
        file += (i % 25000 == 0 ? QByteArray(",jsmith") : QByteArray::number(50000 + i)) + "\r\n";
    return file;
}

// One import: the file's bytes, the path imported ("in.csv" is where the bytes
// go, "-" no path at all), the aliases the grid gains, the data lines read and
// the message shown before the summary.
void row(const char* name, const QByteArray& file, const QStringList& aliases, int lines,
         const QString& error = {}, const QString& path = u"in.csv"_s)
{
    QTest::newRow(name) << file << path << aliases << lines << error;
}

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void imports_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("error");
        row("extension wins over alias", "alias,Extension\r\njwhite,1234\r\n", names("jsmith"), 1);
        row("extension no number, empty or not found: alias",
            "alias,Extension\r\njwhite,12a\r\njwhite,\r\njwhite,5555\r\n",
            names("jwhite jwhite jwhite"), 3);
        row("extension as text, or none", "Extension\r\n123\r\n 0123 \r\n5555\r\n", names("jwhite"),
            3);
        row("header case and blanks", " ALIAS , extension \r\njsmith,\r\n", names("jsmith"), 1);
        row("columns reversed", "Extension,alias,x\r\n,jwhite\r\n", names("jwhite"), 1);
        row("first matching column wins", "alias,alias\r\njsmith,jwhite\r\n", names("jsmith"), 1);
        row("alias in quotes, after a blank, of type 2",
            "alias\r\n\"jsmith\"\r\n jsmith\r\nsystem\r\n", {}, 3);
        row("empty lines count", "alias\r\n\r\njsmith\r\n\r\n", names("jsmith"), 3);
        row("LF and CR ends, no last one", "alias\njsmith\rjwhite", names("jsmith jwhite"), 2);
        row("a subscriber twice, one refused", "alias\r\njsmith\r\njsmith\r\nlostcos\r\n",
            names("jsmith jsmith"), 3, kLostCos);
        // The bad input an administrator may hand over: a message at most, never a crash.
        row("missing file", {}, {}, 0, kOpenError, u"absent.csv"_s);
        row("a folder", {}, {}, 0, kOpenError, u"."_s);
        row("no path chosen", {}, {}, 0, kOpenError, u"-"_s);
        row("empty file", "", {}, 0, kFormatError);
        row("header of one character", "a\r\njsmith\r\n", {}, 0, kFormatError);
        row("no known column", "name,number\r\njsmith,1234\r\n", {}, 0, kFormatError);
        row("header in double quotes", "\"alias\",\"Extension\"\r\njsmith,1234\r\n", {}, 0,
            kFormatError);
        row("binary", QByteArray("\0\xff\r\x80,\n\x7f", 7).repeated(30000), {}, 0, kFormatError);
        row("header only", "alias,Extension\r\n", {}, 0);
        row("one megabyte lines",
            "alias,Extension\r\n" + QByteArray(1 << 20, 'x') + ",1234\r\n" +
                QByteArray(1 << 20, 'y') + ",none\r\n",
            names("jsmith"), 2);
        row("bytes outside the code page", "alias\r\n\xff\xfejsmith\r\njs\xc3mith\r\n\x80\r\n", {},
            3);
        row("fewer fields than the header", "Extension,alias\r\n1234\r\njwhite\r\n,jwhite\r\n",
            names("jsmith jwhite"), 3);
        row("alias with a quote or SQL",
            "alias\r\no'brien\r\nx' OR '1'='1\r\n') OR SubscriberType IN (1,3) --\r\n",
            names("o'brien"), 3);
        row("100,000 lines", hundredThousandLines(), names("jsmith jsmith jsmith jsmith"), 100000);
    }
    // The summary counts the rows the grid gained, not those it had nor the lookups' finds.
    void imports()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, path);
        QFETCH(QStringList, aliases);
        QFETCH(int, lines);
        QFETCH(QString, error);
        Bench b;
        b.selection.AddUserToGrid(u"s-5"_s);
        writeFile(b.env.path(u"in.csv"_s), file);
        CsvSubscriberImport(b.selection).run(path == u"-"_s ? QString() : b.env.path(path));
        QCOMPARE(gridAliases(b.grid), names("nofirst") + aliases);
        const QStringList shown = error.isEmpty() ? QStringList() : QStringList{error};
        QCOMPARE(b.env.ui.texts(), shown + QStringList{summary(lines, aliases.size())});
        QCOMPARE(b.progress.shows, 0); // the window stays hidden during an import
        if (lines > 0)
            QCOMPARE(b.progress.count, u"Lines=%1"_s.arg(lines));
    }

    void unreachableDatabaseAddsNobodyQuietly()
    {
        Bench b;
        b.env.app->strConnectionString = kUnreachable;
        CsvSubscriberImport(b.selection)
            .run(writeFile(b.env.path(u"in.csv"_s), "alias,Extension\r\njsmith,1234"));
        QCOMPARE(b.env.ui.texts(), QStringList{summary(1, 0)});
    }
};

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csvimport.moc"
