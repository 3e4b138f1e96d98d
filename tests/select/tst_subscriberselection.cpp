#include "SelectFixture.h"

#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

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
    void addUserToGridFillsATickedRow()
    {
        Bench b;
        for (const char* id : {"s-1", "s-5", "s-1"}) // no duplicate check
            b.selection.AddUserToGrid(QString::fromLatin1(id));
        QStringList rows;
        for (int r = 1; r < b.grid.Rows(); ++r) {
            QStringList cells{QString::number(b.grid.CellChecked(r, SelectionGrid::Selected))};
            for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
                cells << b.grid.TextMatrix(r, c);
            rows << cells.join(u'|');
        }
        QCOMPARE(
            rows,
            QStringList({u"1|1||jsmith|John Smith|John|Smith|1234|Default Subscriber|h-1|s-1"_s,
                         u"1|2||nofirst|Waylon Smithers||Smithers|200|Night Shift|h-5|s-5"_s,
                         u"1|3||jsmith|John Smith|John|Smith|1234|Default Subscriber|h-1|s-1"_s}));
    }

    // Add Subscribers in each mode (0: the row lookup alone). Progress reads "count of total": the
    // total is every row the query returned, the count every row chosen; sub strings show none.
    void selections_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("progress");
        QTest::addColumn<QString>("view"); // vw_Subscriber is Subscriber and this
        const QStringList none;
        const QStringList invalid{
            u"Invalid input for extension range - only numbers are allowed"_s};
        const QStringList order{
            u"The upper extension range must be strictly higher than the lower extension range"_s};
        const QStringList null{kNullExtension};
        auto row = [](const char* name, int mode, const QString& input, const QStringList& aliases,
                      const QStringList& messages, const QString& progress = {},
                      const QString& view = {}) {
            QTest::newRow(name) << mode << input << aliases << messages << progress << view;
        };
        const QString notFound =
            u"Unable to find single subscriber by ObjectID=%1 in AddUserToGrid routine"_s;
        row("unknown id", 0, u"s-none"_s, none, {notFound.arg(u"s-none"_s)});
        row("quote in the id", 0, u"s-1' OR '1'='1"_s, none, {notFound.arg(u"s-1' OR '1'='1"_s)});
        row("two with that id", 0, u"s-2"_s, none, {notFound.arg(u"s-2"_s)}, {},
            u"UNION ALL SELECT * FROM Subscriber WHERE SubscriberObjectID='s-2'"_s);
        row("all", 1, {}, kAllSelectable, {kLostCos}, u"7 of 7"_s);
        row("range", 2, u"100-200"_s, names("jwhite o'brien nofirst"), null, u"3 of 7"_s);
        row("range of one", 2, u"100-100"_s, names("o'brien"), null, u"1 of 7"_s);
        row("0123 lies in 123", 2, u"123-123"_s, names("jwhite"), null, u"1 of 7"_s);
        row("null extension is 0", 2, u"0-0"_s, names("blank"), null, u"1 of 7"_s);
        row("blanks around", 2, u" 100 - 1234"_s, names("jsmith jwhite o'brien nofirst"),
            {kLostCos, kNullExtension}, u"6 of 7"_s);
        row("type 2 never", 2, u"200-9999"_s, names("jsmith nofirst"), {kLostCos, kNullExtension},
            u"4 of 7"_s);
        row("reversed", 2, u"200-100"_s, none, order);
        row("negative", 2, u"-5-100"_s, none, order);
        row("letters", 2, u"abc-100"_s, none, invalid);
        row("empty", 2, u"1-"_s, none, invalid);
        row("infinity", 2, u"0-inf"_s, none, invalid);
        row("all, none of types 1 and 3", 1, {}, none, {u"No subscribers found in database!"_s}, {},
            u"WHERE SubscriberType=2"_s);
        row("range, none of types 1 and 3", 2, u"0-99999"_s, none,
            {u"No subscribers found in the backed up database."_s}, {},
            u"WHERE SubscriberType=2"_s);
        row("csv", 6, u"Extension,alias\r\n0123,\r\n,o'brien\r\n,x' OR '1'='1\r\n"_s,
            names("jwhite o'brien"),
            {u"Import complete.  3 lines read in from text file,  2 users added to grid."_s});
        row("cos", 7, u"cos-3"_s, names("nofirst blank"), none, u"2 of 2"_s);
        row("cos id with a quote", 7, u"cos-x' OR ''='"_s, none,
            {u"No subscribers found associated with that COS in the database."_s});
        row("each match once", 10, u"smith;SMITH"_s, names("jsmith nofirst"), none);
        row("inside a name", 10, u"ann"_s, names("jwhite"), none);
        row("blanks trimmed", 10, u"  o'brien ; x"_s, names("o'brien"), none);
        row("separators only", 10, u" ; ;"_s, none, none);
        row("cos name, any type", 11, u"exec"_s, names("jwhite system"), none);
        row("cos names", 11, u"night;DEFAULT"_s, names("jsmith o'brien nofirst blank"), none);
    }
    void selections()
    {
        QFETCH(int, mode);
        QFETCH(QString, input);
        QFETCH(QStringList, aliases);
        QFETCH(QStringList, messages);
        QFETCH(QString, progress);
        QFETCH(QString, view);
        Bench b;
        if (!view.isEmpty())
            b.redefineSubscriberView(view);
        const int dash = input.indexOf(u'-', 1);
        const QString csv = mode == 6 ? writeFile(b.env.path(u"in.csv"_s), input.toUtf8()) : u""_s;
        const SelectionRequest request{
            mode, input.left(dash), input.mid(dash + 1), csv, input, input, input};
        if (mode == 0)
            b.selection.AddUserToGrid(input);
        else
            QCOMPARE(b.selection.fillGrid(request), aliases.size());
        QCOMPARE(Bench::inServerOrder(gridAliases(b.grid)), Bench::inServerOrder(aliases));
        QCOMPARE(Bench::inServerOrder(b.env.ui.texts()), Bench::inServerOrder(messages));
        if (!progress.isEmpty())
            QCOMPARE(b.progress.count + u" of"_s + b.progress.total, progress);
        QCOMPARE(b.progress.shows, progress.isEmpty() ? 0 : 1);
    }

    void unreachableDatabaseIsReportedInTheProceduresWords()
    {
        Bench b;
        b.env.app->strConnectionString = kUnreachable;
        b.selection.AddAllSubscribers();
        b.selection.AddSubscriberbyDisplayNameSubString(u"smith"_s); // ends, with nothing to walk
        const QStringList texts = b.env.ui.texts(); // each: the open fails, then the count or walk
        QCOMPARE(texts.size(), 5);
        QCOMPARE(texts[2], u"No subscribers found in database!"_s);
        QVERIFY2(texts[1].startsWith(u"Error "_s) &&
                     texts[1].endsWith(
                         u") in procedure AddAllSubscribers of Form frmChooseSubscribers"_s),
                 qPrintable(texts[1]));
        QVERIFY(texts[4].endsWith(
            u") in procedure AddSubscriberbyDisplayNameSubString of Form frmChooseSubscribers"_s));
    }
};

QTEST_GUILESS_MAIN(TestSubscriberSelection)
#include "tst_subscriberselection.moc"
