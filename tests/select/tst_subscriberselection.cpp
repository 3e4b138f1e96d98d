#include "SelectFixture.h"
#include "select/NumberText.h"

#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

class TestSubscriberSelection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void numberTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");
        QTest::newRow("leading zero") << u"0123"_s << true << 123.0;
        QTest::newRow("blanks around") << u" -4.5 "_s << true << -4.5;
        QTest::newRow("blanks only") << u"   "_s << false << 0.0;
        QTest::newRow("leading number") << u"12abc"_s << false << 12.0;
        QTest::newRow("incomplete exponent") << u"12e"_s << false << 12.0;
        QTest::newRow("infinity") << u"inf"_s << false << 0.0;
    }
    void numberTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        QCOMPARE(isNumericText(text), numeric);
        QCOMPARE(leadingNumber(text), value);
    }

    void addUserToGridFillsATickedRow()
    {
        Bench b;
        for (const char* id : {"s-1", "s-5", "s-1"}) // no duplicate check
            b.selection.AddUserToGrid(QString::fromLatin1(id));
        QVERIFY(b.env.ui.shown.isEmpty());
        QCOMPARE(b.grid.Rows(), 4);
        QStringList first;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
            first << (c == SelectionGrid::Selected ? QString::number(b.grid.CellChecked(1, c))
                                                   : b.grid.TextMatrix(1, c));
        QCOMPARE(first,
                 QStringList({u"1"_s, u"1"_s, u"jsmith"_s, u"John Smith"_s, u"John"_s, u"Smith"_s,
                              u"1234"_s, u"Default Subscriber"_s, u"h-1"_s, u"s-1"_s}));
        QCOMPARE(b.grid.text(2, u"FirstName"_s), QString()); // a null is an empty cell
        QVERIFY(b.grid.isTicked(2));
        QCOMPARE(b.grid.TextMatrix(3, 0), u"3"_s);
        for (int c = 1; c < SelectionGrid::kColumnCount; ++c)
            QCOMPARE(b.grid.TextMatrix(3, c), b.grid.TextMatrix(1, c));
    }

    void addUserToGridRefusals_data()
    {
        QTest::addColumn<QString>("objectId");
        QTest::addColumn<QString>("message");
        const QString notFound =
            u"Unable to find single subscriber by ObjectID=%1 in AddUserToGrid routine"_s;
        QTest::newRow("unknown") << u"s-none"_s << notFound.arg(u"s-none"_s);
        QTest::newRow("quote in the id")
            << u"s-1' OR '1'='1"_s << notFound.arg(u"s-1' OR '1'='1"_s);
        QTest::newRow("two with that id") << u"s-2"_s << notFound.arg(u"s-2"_s);
        QTest::newRow("class of service gone") << u"s-7"_s << kLostCos;
        QTest::newRow("no class of service") << u"s-6"_s << QString();
    }
    void addUserToGridRefusals()
    {
        QFETCH(QString, objectId);
        QFETCH(QString, message);
        Bench b;
        b.env.database().exec(u"DROP VIEW vw_Subscriber"_s);
        b.env.database().exec(u"CREATE VIEW vw_Subscriber AS SELECT * FROM Subscriber UNION ALL "
                              u"SELECT * FROM Subscriber WHERE SubscriberObjectID='s-2'"_s);
        b.selection.AddUserToGrid(objectId);
        QCOMPARE(b.env.ui.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(b.grid.Rows(), 1);
    }

    // The three procedures that show progress: the total is every row the query
    // returned, the count every row chosen.
    void withProgress_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("progress");
        QTest::newRow("all") << 1 << allSelectableAliases() << QStringList{kLostCos} << u"7 of 7"_s;
        QTest::newRow("range 100 to 200")
            << 2 << names("jwhite o'brien nofirst") << QStringList{kNullExtension} << u"3 of 7"_s;
        QTest::newRow("cos") << 7 << names("nofirst blank") << QStringList() << u"2 of 2"_s;
    }
    void withProgress()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, aliases);
        QFETCH(QStringList, messages);
        QFETCH(QString, progress);
        Bench b;
        if (mode == 1)
            b.selection.AddAllSubscribers();
        else if (mode == 2)
            b.selection.AddSubscribersByExtensionRange(u"100"_s, u"200"_s);
        else
            b.selection.AddSubscribersByCOS(u"cos-3"_s);
        QCOMPARE(gridAliases(b.grid), aliases);
        QCOMPARE(b.env.ui.texts(), messages);
        QCOMPARE(b.progress.count + u" of"_s + b.progress.total, progress);
        QCOMPARE(b.progress.shows, 1);
        QVERIFY(!b.progress.visible);
    }

    // Over a database whose one subscriber is of type 2; the COS search over the
    // organisation too, with a quote in the id that must not widen the query.
    void nothingFound_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("message");
        QTest::newRow("all") << 1 << u"No subscribers found in database!"_s;
        QTest::newRow("range") << 2 << u"No subscribers found in the backed up database."_s;
        QTest::newRow("cos") << 7
                             << u"No subscribers found associated with that COS in the database."_s;
    }
    void nothingFound()
    {
        QFETCH(int, mode);
        QFETCH(QString, message);
        Bench b(mode == 7);
        b.env.database().addCos(u"cos-9"_s, u"Nine"_s);
        b.env.database().addSubscriber({u"s-x"_s, u"x"_s, {}, {}, {}, u"9"_s, {}, u"cos-9"_s, 2});
        b.progress.visible = true;
        if (mode == 1)
            b.selection.AddAllSubscribers();
        else if (mode == 2)
            b.selection.AddSubscribersByExtensionRange(u"0"_s, u"99999"_s);
        else
            b.selection.AddSubscribersByCOS(u"cos-9' OR ''='"_s);
        QCOMPARE(b.env.ui.texts(), QStringList{message});
        QCOMPARE(b.progress.shows, 0);
        QCOMPARE(b.progress.visible, mode == 7); // never shown by the COS search, so left alone
        QCOMPARE(b.grid.Rows(), 1);
    }

    void unreachableDatabaseIsReportedInTheProceduresWords()
    {
        Bench b(false);
        b.env.app->strConnectionString = unreachable(b.env);
        b.selection.AddAllSubscribers();
        b.selection.AddSubscriberbyDisplayNameSubString(u"smith"_s);
        QStringList texts = b.env.ui.texts();
        QCOMPARE(texts.takeAt(2), u"No subscribers found in database!"_s);
        QCOMPARE(texts.size(), 4); // the open and the count fail; the walk of a closed set ends
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(
                texts[i].startsWith(u"Error "_s) &&
                    texts[i].endsWith(u") in procedure %1 of Form frmChooseSubscribers"_s.arg(
                        i < 2 ? u"AddAllSubscribers"_s : u"AddSubscriberbyDisplayNameSubString"_s)),
                qPrintable(texts[i]));
        }
    }

    void extensionRange_data()
    {
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QStringList>("messages");
        const QStringList invalid{
            u"Invalid input for extension range - only numbers are allowed"_s};
        const QStringList order{
            u"The upper extension range must be strictly higher than the lower extension range"_s};
        const QStringList null{kNullExtension};
        QTest::newRow("equal bounds") << u"100"_s << u"100"_s << names("o'brien") << null;
        QTest::newRow("0123 lies in 123") << u"123"_s << u"123"_s << names("jwhite") << null;
        QTest::newRow("null extension is 0") << u"0"_s << u"0"_s << names("blank") << null;
        QTest::newRow("blanks around")
            << u" 100 "_s << u" 1234"_s << names("jsmith jwhite o'brien nofirst")
            << QStringList{kLostCos, kNullExtension};
        QTest::newRow("type 2 never") << u"9000"_s << u"9999"_s << QStringList() << null;
        QTest::newRow("reversed") << u"200"_s << u"100"_s << QStringList() << order;
        QTest::newRow("negative") << u"-5"_s << u"100"_s << QStringList() << order;
        QTest::newRow("letters") << u"abc"_s << u"100"_s << QStringList() << invalid;
        QTest::newRow("empty high") << u"1"_s << QString() << QStringList() << invalid;
    }
    void extensionRange()
    {
        QFETCH(QString, low);
        QFETCH(QString, high);
        QFETCH(QStringList, aliases);
        QFETCH(QStringList, messages);
        Bench b;
        b.selection.AddSubscribersByExtensionRange(low, high);
        QCOMPARE(gridAliases(b.grid), aliases);
        QCOMPARE(b.env.ui.texts(), messages);
    }

    void subStrings_data()
    {
        QTest::addColumn<bool>("byCosName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("aliases");
        QTest::newRow("each match once") << false << u"smith;SMITH"_s << names("jsmith nofirst");
        QTest::newRow("inside a name") << false << u"ann"_s << names("jwhite");
        QTest::newRow("blanks trimmed") << false << u"  o'brien ; x"_s << names("o'brien");
        QTest::newRow("separators only") << false << u" ; ;"_s << QStringList();
        QTest::newRow("cos name, any type") << true << u"exec"_s << names("jwhite system");
        QTest::newRow("cos names")
            << true << u"night;DEFAULT"_s << names("jsmith o'brien nofirst blank");
    }
    void subStrings()
    {
        QFETCH(bool, byCosName);
        QFETCH(QString, text);
        QFETCH(QStringList, aliases);
        Bench b;
        if (byCosName)
            b.selection.AddSubscriberbyCOSNameSubString(text);
        else
            b.selection.AddSubscriberbyDisplayNameSubString(text);
        QCOMPARE(gridAliases(b.grid), aliases);
        QVERIFY(b.env.ui.shown.isEmpty()); // the null display name matches nothing, quietly
        QCOMPARE(b.progress.shows, 0);
    }
};

QTEST_GUILESS_MAIN(TestSubscriberSelection)
#include "tst_subscriberselection.moc"
