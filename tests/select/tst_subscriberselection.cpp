#include "SelectFixture.h"
#include "base/Recordset.h"
#include "select/CsvSubscriberImport.h"

#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

const QString kOpenError = u"Error - Could not open CSV file"_s;
const QString kFormatError = u"Error - CSV File is not formatted correctly.  Review the help file "
                             u"for details on format constraints."_s;

// One import: the file's bytes, the path imported ("in.csv" holds the bytes, "-" is none), the aliases
// the grid gains, the data lines read and the message shown before the summary.
void importRow(const char* name, const QByteArray& file, const QStringList& aliases, int lines,
               const QString& error = {}, const QString& path = u"in.csv"_s)
{
    QTest::newRow(name) << file << path << aliases << lines << error;
}

} // namespace

class TestSubscriberSelection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
#ifdef SELECT_ON_POSTGRES
    void initTestCase()
    {
        PostgresDatabase pg;
        TARNWICK_REQUIRE_POSTGRES(pg);
    }
#endif
    // Add Subscribers in each mode (0: the row lookup alone) over a grid holding a stale row. Progress reads
    // "count of total": the total is every row the query returned, the count every row chosen; sub strings show none.
    void selections_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("progress");
        QTest::addColumn<QString>("view"); // vw_Subscriber is Subscriber and this, or no database
        const QStringList none, null{kNullExtension};
        const QStringList invalid{u"Invalid input for extension range - only numbers are allowed"_s};
        const QStringList order{u"The upper extension range must be strictly higher than the lower extension range"_s};
        const QString notFound = u"Unable to find single subscriber by ObjectID=%1 in AddUserToGrid routine"_s;
        const QString failed = u"Error ... in procedure %1 of Form frmChooseSubscribers"_s;
        auto row = [](const char* name, int mode, const QString& input, const QStringList& aliases,
                      const QStringList& messages, const QString& progress = {}, const QString& view = {}) {
            QTest::newRow(name) << mode << input << aliases << messages << progress << view;
        };
        row("unknown id", 0, u"s-none"_s, none, {notFound.arg(u"s-none"_s)});
        row("quote in the id", 0, u"s-1' OR '1'='1"_s, none, {notFound.arg(u"s-1' OR '1'='1"_s)});
        row("two with that id", 0, u"s-2"_s, none, {notFound.arg(u"s-2"_s)}, {},
            u"UNION ALL SELECT * FROM Subscriber WHERE SubscriberObjectID='s-2'"_s);
        row("all", 1, {}, kAllSelectable, {kLostCos}, u"7 of 7"_s);
        row("range", 2, u"100-200"_s, names("jwhite o'brien nofirst"), null, u"3 of 7"_s);
        row("0123 lies in 123", 2, u"123-123"_s, names("jwhite"), null, u"1 of 7"_s);
        row("exponents", 2, u"1e2-2E+2"_s, names("jwhite o'brien nofirst"), null, u"3 of 7"_s);
        row("no extension lies in no range, not even from 0", 2, u"0-100"_s, names("o'brien"), null, u"1 of 7"_s);
        row("blanks around", 2, u" 100 - 1234"_s, names("jsmith jwhite o'brien nofirst"), {kLostCos, kNullExtension},
            u"6 of 7"_s);
        row("type 2 never", 2, u"200-9999"_s, names("jsmith nofirst"), {kLostCos, kNullExtension}, u"4 of 7"_s);
        row("reversed", 2, u"200-100"_s, none, order);
        row("negative", 2, u"-5-100"_s, none, order);
        // Text the value cannot read whole is refused, never read as its first digits or as 0 (fuzz_number_text
        // holds the rule over any text, against strtod); either bound.
        row("letters", 2, u"abc-100"_s, none, invalid);
        row("empty", 2, u"1-"_s, none, invalid);
        row("all, none of types 1 and 3", 1, {}, none, {u"No subscribers found in database!"_s}, {},
            u"WHERE SubscriberType=2"_s);
        row("range, none of types 1 and 3", 2, u"0-99999"_s, none,
            {u"No subscribers found in the backed up database."_s}, {}, u"WHERE SubscriberType=2"_s);
        row("all, no database", 1, {}, none,
            QStringList(2, failed.arg(u"AddAllSubscribers"_s)) << u"No subscribers found in database!"_s, {}, u"-"_s);
        row("by name, no database", 10, u"smith"_s, none,
            QStringList(2, failed.arg(u"AddSubscriberbyDisplayNameSubString"_s)), {}, u"-"_s);
        row("csv, no database: nobody, quietly", 6, u"alias,Extension\r\njsmith,1234"_s, none,
            {u"Import complete.  1 lines read in from text file,  0 users added to grid."_s}, {}, u"-"_s);
        row("cos", 7, u"cos-3"_s, names("nofirst"), none, u"1 of 1"_s);
        row("cos not chosen", 7, {}, none, {u"You must first select a COS"_s});
        row("cos id with a quote", 7, u"cos-x' OR ''='"_s, none,
            {u"No subscribers found associated with that COS in the database."_s});
        row("each match once, anywhere in the name", 10, u"smith;SMITH;ann"_s, names("jsmith jwhite nofirst"), none);
        row("blanks trimmed", 10, u"  o'brien ; x"_s, names("o'brien"), none);
        row("separators only: only emptiness is refused", 10, u" ; ;"_s, none, none);
        row("no sub string", 11, {}, none,
            {u"You must enter a sub string or multiple sub strings seperated with ';'"_s});
        row("cos name, any type", 11, u"EXEC;night"_s, names("jwhite system nofirst"), none);
    }
    void selections()
    {
        QFETCH(int, mode);
        QFETCH(QString, input);
        QFETCH(QStringList, aliases);
        QFETCH(QStringList, messages);
        QFETCH(QString, progress);
        QFETCH(QString, view);
        // One query per row, the reference, then in sets: the same grid, messages and progress.
        QStringList reference;
        for (const bool perRow : {true, false}) {
            Bench b;
            b.env.app->perRowQueries = perRow;
            if (view == u"-"_s)
                b.env.app->strConnectionString = kUnreachable;
            else if (!view.isEmpty()) { // vw_Subscriber as the Subscriber table and then a WHERE or a UNION
                b.db->exec(u"DROP VIEW vw_Subscriber"_s);
                b.db->exec(u"CREATE VIEW vw_Subscriber AS SELECT * FROM Subscriber "_s + view);
#ifdef SELECT_ON_POSTGRES
                b.db->exec(u"GRANT SELECT ON vw_Subscriber TO tarnwick_reader"_s);
#endif
            }
            const int dash = input.indexOf(u'-', 1);
            const QString csv = mode == 6 ? writeFile(b.env.path(u"in.csv"_s), input.toUtf8()) : u""_s;
            const SelectionRequest request{mode, input.left(dash), input.mid(dash + 1), csv, input, input, input};
            const qint64 before = databaseQueryCount();
            if (mode == 0) {
                b.selection.AddUserToGrid(input);
            } else {
                b.grid.AddItem(u"stale"_s); // a load replaces what the grid held
                QCOMPARE(b.selection.fillGrid(request), aliases.size());
                if (!perRow && !aliases.isEmpty() && mode != 6 && view.isEmpty()) // the rows with their lookups
                    QCOMPARE(databaseQueryCount() - before, 1);
            }
            // Without ORDER BY the rows come in the server's order (the page's test holds SQLite's).
            const auto sorted = [](QStringList list) { return list.sort(), list; };
            QCOMPARE(sorted(gridAliases(b.grid)), sorted(aliases));
            const QStringList texts = view == u"-"_s ? withoutDriverWords(b.env.ui.texts()) : b.env.ui.texts();
            QCOMPARE(sorted(texts), sorted(messages));
            if (!progress.isEmpty())
                QCOMPARE(b.progress.count + u" of"_s + b.progress.total, progress);
            // Shown once at most (before the read, so even a load that finds nobody shows it), hidden at the end.
            QVERIFY(b.progress.shows <= 1 && !b.progress.visible);
            if (!progress.isEmpty())
                QCOMPARE(b.progress.shows, 1);
            const QStringList seen{gridCells(b.grid), texts.join(u'\n'), b.progress.count, b.progress.total};
            if (perRow)
                reference = seen;
            else if (!reference.isEmpty())
                QCOMPARE(seen, reference);
            if (view.isEmpty() && databaseQueryCount() == before)
                break; // refused before any query: the set path has nothing of its own to run
        }
    }

    void imports_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("error");
        importRow("extension wins over alias; no number, empty or not found: alias; header case and blanks",
                  " ALIAS , extension \r\njwhite,1234\r\njwhite,12a\r\njwhite,\r\njwhite,5555\r\n",
                  names("jsmith jwhite jwhite jwhite"), 4);
        importRow("extension as text, or none", "Extension\r\n123\r\n 0123 \r\n5555\r\n", names("jwhite"), 3);
        importRow("columns reversed, the first match wins, fewer fields than the header",
                  "Extension,alias,x,alias\r\n,jwhite,,jsmith\r\n1234\r\njwhite\r\n", names("jwhite jsmith"), 3);
        importRow("alias in quotes, after a blank, of type 2", "alias\r\n\"jsmith\"\r\n jsmith\r\nsystem\r\n", {}, 3);
        importRow("empty lines count; CR LF, LF or CR ends a line", "alias\r\n\r\njsmith\njwhite\r\r\njsmith",
                  names("jsmith jwhite jsmith"), 5);
        importRow("a subscriber twice, one refused", "alias\r\njsmith\r\njsmith\r\nlostcos\r\n", names("jsmith jsmith"),
                  3, kLostCos);
        // The bad input an administrator may hand over: a message at most, never a crash.
        importRow("missing file", {}, {}, 0, kOpenError, u"absent.csv"_s);
        importRow("a folder", {}, {}, 0, kOpenError, u"."_s);
        importRow("no path chosen", {}, {}, 0, kOpenError, u"-"_s);
        importRow("empty file", "", {}, 0, kFormatError);
        importRow("header of one character", "a\r\njsmith\r\n", {}, 0, kFormatError);
        importRow("no known column", "name,number\r\njsmith,1234\r\n", {}, 0, kFormatError);
        importRow("header in double quotes", "\"alias\",\"Extension\"\r\njsmith,1234\r\n", {}, 0, kFormatError);
        importRow("binary", QByteArray("\0\xff\r\x80,\n\x7f", 7).repeated(30000), {}, 0, kFormatError);
        importRow("header only", "alias,Extension\r\n", {}, 0);
        importRow("a line of one megabyte", "alias,Extension\r\n" + QByteArray(1 << 20, 'y') + ",none\r\njsmith",
                  names("jsmith"), 2);
        importRow("bytes outside the code page", "alias\r\n\xff\xfejsmith\r\njs\xc3mith\r\n\x80\r\n", {}, 3);
        // Under a single-byte locale the file is read in its code page, as the program writes; a byte-order mark at
        // the start still means UTF-8 (one further on is part of its line).
        importRow("Latin-1 locale: the code page", u"alias\r\njosé.núñez\r\n"_s.toLatin1(), names("josé.núñez"), 1);
        importRow("Latin-1 locale: UTF-8 after a byte-order mark",
                  QByteArray("\xEF\xBB\xBF") + "alias\r\njosé.núñez\r\n\xEF\xBB\xBFjsmith\r\n", names("josé.núñez"), 2);
        importRow("alias with a quote or SQL",
                  "alias\r\no'brien\r\nx' OR '1'='1\r\n') OR SubscriberType IN (1,3) --\r\n", names("o'brien"), 3);
#ifndef SELECT_ON_POSTGRES
        QByteArray big("Extension,alias\r\n"); // past every 16-bit counter: an alias every 25,000 lines
        for (int i = 1; i <= 100000; ++i)
            big += (i % 25000 == 0 ? QByteArray(",jsmith") : QByteArray::number(50000 + i)) + "\r\n";
        importRow("100,000 lines", big, names("jsmith jsmith jsmith jsmith"), 100000);
#endif
    }
    // The summary counts the rows the grid gained, not those it had nor the lookups' finds.
    void imports()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, path);
        QFETCH(QStringList, aliases);
        QFETCH(int, lines);
        QFETCH(QString, error);
        const QByteArray locale = qgetenv("LC_ALL");
        const auto restoreLocale = qScopeGuard([&] { qputenv("LC_ALL", locale); });
        const bool latin1 = QByteArray(QTest::currentDataTag()).startsWith("Latin-1 locale");
        if (latin1) {
            const locale_t made = ::newlocale(LC_ALL_MASK, "en_US.ISO-8859-1", locale_t(nullptr));
            if (!made)
                QSKIP("No Latin-1 locale here: scripts/install-deps.sh makes en_US.ISO-8859-1 with localedef");
            ::freelocale(made);
            qputenv("LC_ALL", "en_US.ISO-8859-1");
        }
        QStringList reference;
        for (const bool perRow : {true, false}) {
            if (perRow && lines > 10000)
                continue; // the big file is about its counts; one query a line would only take long
            Bench b;
            b.env.app->perRowQueries = perRow;
            b.selection.AddUserToGrid(u"s-5"_s);
            if (latin1)
                b.db->addSubscriber({"s-9", "josé.núñez", "José", "Núñez", "José Núñez", "500", "h-9", "cos-1", 1});
            writeFile(b.env.path(u"in.csv"_s), file);
            const qint64 before = databaseQueryCount();
            CsvSubscriberImport(b.selection).run(path == u"-"_s ? QString() : b.env.path(path));
            const bool queried = databaseQueryCount() != before;
            if (!perRow) // by extension, then by alias, for each chunk of lines
                QVERIFY2(databaseQueryCount() - before <= 2 * (lines / 400 + 1),
                         qPrintable(QString::number(databaseQueryCount() - before)));
            QCOMPARE(gridAliases(b.grid), names("nofirst") + aliases);
            // The row the grid had, as AddUserToGrid filled it: ticked, numbered, a null first name left empty.
            QStringList cells{QString::number(b.grid.CellChecked(1, SelectionGrid::Selected))};
            for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
                cells << b.grid.TextMatrix(1, c);
            QCOMPARE(cells.join(u'|'), u"1|1||nofirst|Waylon Smithers||Smithers|200|Night Shift|h-5|s-5"_s);
            const QString summary = u"Import complete.  %1 lines read in from text file,  %2 users added to grid."_s;
            QCOMPARE(b.env.ui.texts(), QStringList(error.isEmpty() ? 0 : 1, error)
                                           << summary.arg(lines).arg(aliases.size()));
            QCOMPARE(b.progress.shows, 0); // the window stays hidden during an import
            if (lines > 0)
                QCOMPARE(b.progress.count, u"Lines=%1"_s.arg(lines));
            if (!aliases.isEmpty()) // every hand-over counts, also one the grid refused
                QCOMPARE(b.progress.total, u"Users added=%1"_s.arg(aliases.size() + (error == kLostCos)));
            // One query per row, the reference, then in sets: the same grid, in the same order.
            const QStringList seen{gridCells(b.grid), b.env.ui.texts().join(u'\n'), b.progress.total};
            if (perRow)
                reference = seen;
            else if (!reference.isEmpty())
                QCOMPARE(seen, reference);
            if (!queried)
                break; // refused before any query, as in selections
        }
    }
};

QTEST_GUILESS_MAIN(TestSubscriberSelection)
#include "tst_subscriberselection.moc"
