#include "SelectFixture.h"
#include "app/AppContext.h"
#include "app/StepRunner.h"
#include "select/NumberText.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"
#include "support/TestEnvironment.h"

#include <QtTest>

using namespace tarnwick;
using tarnwick::test::ExitRequested;
using tarnwick::test::TestEnvironment;

namespace {

// A test's whole selection: environment, grid, unseen progress window.
struct Bench
{
    explicit Bench(bool organisation = true)
    {
        if (organisation)
            test::addSelectionOrganisation(env.database());
    }
    QStringList column(const QString& key) const
    {
        QStringList out;
        for (int r = 1; r < grid.Rows(); ++r)
            out << grid.text(r, key);
        return out;
    }
    TestEnvironment env;
    SelectionGrid grid;
    ProgressLabels progress;
    SubscriberSelection selection{*env.app, grid, progress};
};

const QString kLostCos = QStringLiteral(
    "Unable to find single COS instance by ObjectID=cos-gone in AddUsersToGrid routine");

} // namespace

class TestSubscriberSelection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void numberTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << QStringLiteral("123") << true << 123.0;
        QTest::newRow("leading zero") << QStringLiteral("0123") << true << 123.0;
        QTest::newRow("blanks around") << QStringLiteral("  42 ") << true << 42.0;
        QTest::newRow("negative") << QStringLiteral("-5") << true << -5.0;
        QTest::newRow("decimal") << QStringLiteral("1.5") << true << 1.5;
        QTest::newRow("empty") << QString() << false << 0.0;
        QTest::newRow("blanks only") << QStringLiteral("   ") << false << 0.0;
        QTest::newRow("letters") << QStringLiteral("abc") << false << 0.0;
        QTest::newRow("leading number") << QStringLiteral("12abc") << false << 12.0;
        QTest::newRow("incomplete exponent") << QStringLiteral("12e") << false << 12.0;
        QTest::newRow("infinity") << QStringLiteral("inf") << false << 0.0;
    }
    void numberTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        QCOMPARE(isNumericText(text), numeric);
        QCOMPARE(leadingNumber(text), value);
    }

    void modeTable()
    {
        QStringList texts;
        QList<int> codes;
        for (const SelectionModeEntry& e : selectionModes()) {
            texts << e.text;
            codes << e.code;
        }
        QCOMPARE(
            texts,
            QStringList({QStringLiteral("All Subscribers"),
                         QStringLiteral("Subscribers with extension numbers from:"),
                         QStringLiteral("Subscribers referenced in this CSV file:"),
                         QStringLiteral("Subscribers associated with this class of service: "),
                         QStringLiteral("Select subscribers with sub string in their display name"),
                         QStringLiteral("Select subscribers with sub string in their COS name")}));
        QCOMPARE(codes, QList<int>({1, 2, 6, 7, 10, 11}));
        QVERIFY(!selectionModeByCode(3));
        QCOMPARE(selectionModeByCode(11)->inputs, ModeInputs::SubString);
    }

    void addUserToGridFillsATickedRow()
    {
        Bench b;
        b.selection.AddUserToGrid(QStringLiteral("s-1"));
        b.selection.AddUserToGrid(QStringLiteral("s-5"));
        b.selection.AddUserToGrid(QStringLiteral("s-1")); // no duplicate check
        QVERIFY(b.env.ui.shown.isEmpty());
        QCOMPARE(b.grid.Rows(), 4);
        QStringList first;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
            first << (c == SelectionGrid::Selected ? QString::number(b.grid.CellChecked(1, c))
                                                   : b.grid.TextMatrix(1, c));
        QCOMPARE(first, QStringList({QStringLiteral("1"), QStringLiteral("1"),
                                     QStringLiteral("jsmith"), QStringLiteral("John Smith"),
                                     QStringLiteral("John"), QStringLiteral("Smith"),
                                     QStringLiteral("1234"), QStringLiteral("Default Subscriber"),
                                     QStringLiteral("h-1"), QStringLiteral("s-1")}));
        QCOMPARE(b.column(QStringLiteral("FirstName")),
                 QStringList({QStringLiteral("John"), QString(), QStringLiteral("John")}));
        QCOMPARE(b.grid.TextMatrix(3, 0), QStringLiteral("3"));
        for (int c = 1; c < SelectionGrid::kColumnCount; ++c)
            QCOMPARE(b.grid.TextMatrix(3, c), b.grid.TextMatrix(1, c));
        QVERIFY(b.grid.isTicked(2));
    }

    void addUserToGridRefusals_data()
    {
        QTest::addColumn<QString>("objectId");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("unknown")
            << QStringLiteral("s-none")
            << QStringList{QStringLiteral(
                   "Unable to find single subscriber by ObjectID=s-none in AddUserToGrid routine")};
        QTest::newRow("quote in the id")
            << QStringLiteral("s-1' OR '1'='1")
            << QStringList{QStringLiteral("Unable to find single subscriber by ObjectID=s-1' OR "
                                          "'1'='1 in AddUserToGrid routine")};
        QTest::newRow("class of service gone") << QStringLiteral("s-7") << QStringList{kLostCos};
        QTest::newRow("no class of service") << QStringLiteral("s-6") << QStringList();
    }
    void addUserToGridRefusals()
    {
        QFETCH(QString, objectId);
        QFETCH(QStringList, messages);
        Bench b;
        b.selection.AddUserToGrid(objectId);
        QCOMPARE(b.env.ui.texts(), messages);
        QCOMPARE(b.grid.Rows(), 1);
    }

    void twoSubscribersWithOneIdAreRefused()
    {
        Bench b;
        b.env.database().exec(QStringLiteral("DROP VIEW vw_Subscriber"));
        b.env.database().exec(
            QStringLiteral("CREATE VIEW vw_Subscriber AS SELECT * FROM Subscriber UNION ALL "
                           "SELECT * FROM Subscriber WHERE SubscriberObjectID='s-2'"));
        b.selection.AddUserToGrid(QStringLiteral("s-2"));
        QCOMPARE(b.env.ui.texts(),
                 QStringList{QStringLiteral(
                     "Unable to find single subscriber by ObjectID=s-2 in AddUserToGrid routine")});
        QCOMPARE(b.grid.Rows(), 1);
    }

    void allSubscribers()
    {
        Bench b;
        b.selection.AddAllSubscribers();
        QCOMPARE(b.column(QStringLiteral("Alias")), test::allSelectableAliases());
        QCOMPARE(b.env.ui.texts(), QStringList{kLostCos});
        QCOMPARE(b.progress.total, QStringLiteral(" 7"));
        QCOMPARE(b.progress.count, QStringLiteral("7"));
        QCOMPARE(b.progress.shows, 1);
        QVERIFY(!b.progress.visible);
    }

    void allSubscribersOnAnEmptyDatabase()
    {
        Bench b(false);
        b.env.database().addSubscriber(
            {QStringLiteral("s-x"), QStringLiteral("x"), {}, {}, {}, {}, {}, {}, 2});
        b.selection.AddAllSubscribers();
        QCOMPARE(b.env.ui.texts(),
                 QStringList{QStringLiteral("No subscribers found in database!")});
        QCOMPARE(b.progress.shows, 0);
        QCOMPARE(b.grid.Rows(), 1);
    }

    void unreachableDatabaseIsReportedInTheProceduresWords()
    {
        Bench b(false);
        b.env.app->strConnectionString = demo::DemoDatabase::sqliteConnectionString(
            b.env.path(QStringLiteral("no/such/folder/OrvaneDb")));
        b.selection.AddAllSubscribers();
        const QStringList texts = b.env.ui.texts();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts[0].startsWith(QStringLiteral("Error ")));
        QVERIFY2(texts[0].endsWith(QStringLiteral(
                     ") in procedure AddAllSubscribers of Form frmChooseSubscribers")),
                 qPrintable(texts[0]));
        QVERIFY(texts[1].endsWith(
            QStringLiteral(") in procedure AddAllSubscribers of Form frmChooseSubscribers")));
        QCOMPARE(texts[2], QStringLiteral("No subscribers found in database!"));

        b.env.ui.clear();
        b.selection.AddSubscriberbyDisplayNameSubString(QStringLiteral("smith"));
        QVERIFY(!b.env.ui.texts().isEmpty());
        for (const QString& text : b.env.ui.texts())
            QVERIFY(
                text.endsWith(QStringLiteral(") in procedure AddSubscriberbyDisplayNameSubString "
                                             "of Form frmChooseSubscribers")));
    }

    void extensionRange_data()
    {
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QString>("message");
        const QString invalid =
            QStringLiteral("Invalid input for extension range - only numbers are allowed");
        const QString order = QStringLiteral(
            "The upper extension range must be strictly higher than the lower extension range");
        QTest::newRow("equal bounds") << QStringLiteral("100") << QStringLiteral("100")
                                      << QStringList{QStringLiteral("o'brien")} << QString();
        QTest::newRow("0123 lies in 123") << QStringLiteral("123") << QStringLiteral("123")
                                          << QStringList{QStringLiteral("jwhite")} << QString();
        QTest::newRow("blanks around")
            << QStringLiteral(" 100 ") << QStringLiteral(" 1234")
            << QStringList{QStringLiteral("jsmith"), QStringLiteral("jwhite"),
                           QStringLiteral("o'brien"), QStringLiteral("nofirst")}
            << kLostCos;
        QTest::newRow("type 2 never")
            << QStringLiteral("9000") << QStringLiteral("9999") << QStringList() << QString();
        QTest::newRow("reversed") << QStringLiteral("200") << QStringLiteral("100") << QStringList()
                                  << order;
        QTest::newRow("negative") << QStringLiteral("-5") << QStringLiteral("100") << QStringList()
                                  << order;
        QTest::newRow("letters") << QStringLiteral("abc") << QStringLiteral("100") << QStringList()
                                 << invalid;
        QTest::newRow("empty high") << QStringLiteral("1") << QString() << QStringList() << invalid;
    }
    void extensionRange()
    {
        QFETCH(QString, low);
        QFETCH(QString, high);
        QFETCH(QStringList, aliases);
        QFETCH(QString, message);
        Bench b;
        b.selection.AddSubscribersByExtensionRange(low, high);
        QCOMPARE(b.column(QStringLiteral("Alias")), aliases);
        QStringList texts = b.env.ui.texts();
        // The subscriber with no extension is reported when the walk reads it.
        texts.removeIf(
            [](const QString& t) { return t.contains(QStringLiteral("Invalid use of Null")); });
        QCOMPARE(texts, message.isEmpty() ? QStringList() : QStringList{message});
    }

    void extensionRangeCountsOnlyWhatItAdds()
    {
        Bench b(false);
        b.env.database().addCos(QStringLiteral("c"), QStringLiteral("C"));
        b.env.database().beginBatch();
        for (int i = 0; i < 500; ++i)
            b.env.database().addSubscriber({QStringLiteral("id-%1").arg(i),
                                            QStringLiteral("a%1").arg(i),
                                            {},
                                            {},
                                            {},
                                            QString::number(i < 3 ? i * 5 : 1000 + i),
                                            {},
                                            QStringLiteral("c"),
                                            1});
        b.env.database().commitBatch();
        b.selection.AddSubscribersByExtensionRange(QStringLiteral("0"), QStringLiteral("10"));
        QCOMPARE(b.progress.total, QStringLiteral(" 500"));
        QCOMPARE(b.progress.count, QStringLiteral("3"));
        QCOMPARE(b.grid.Rows(), 4);
    }

    void nullExtensionIsReportedAndCountsAsZero()
    {
        Bench b;
        b.selection.AddSubscribersByExtensionRange(QStringLiteral("0"), QStringLiteral("0"));
        QCOMPARE(b.column(QStringLiteral("Alias")), QStringList{QStringLiteral("blank")});
        QCOMPARE(b.env.ui.texts().size(), 1);
        QVERIFY(b.env.ui.texts()[0].startsWith(
            QStringLiteral("Error 94 (Invalid use of Null) in procedure "
                           "AddSubscribersByExtensionRange of Form frmChooseSubscribers")));
    }

    void byClassOfService()
    {
        Bench b;
        b.selection.AddSubscribersByCOS(QStringLiteral("cos-3"));
        QCOMPARE(b.column(QStringLiteral("Alias")),
                 (QStringList{QStringLiteral("nofirst"), QStringLiteral("blank")}));
        QCOMPARE(b.progress.total, QStringLiteral(" 2"));

        Bench none;
        none.progress.visible = true; // a not-found search leaves the window as it was
        none.selection.AddSubscribersByCOS(QStringLiteral("cos-x' OR ''='"));
        QCOMPARE(none.env.ui.texts(),
                 QStringList{QStringLiteral(
                     "No subscribers found associated with that COS in the database.")});
        QVERIFY(none.progress.visible);
        QCOMPARE(none.grid.Rows(), 1);
    }

    void subStrings_data()
    {
        QTest::addColumn<bool>("byCosName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("aliases");
        QTest::newRow("each match once")
            << false << QStringLiteral("smith;SMITH")
            << QStringList{QStringLiteral("jsmith"), QStringLiteral("nofirst")};
        QTest::newRow("inside a name")
            << false << QStringLiteral("ann") << QStringList{QStringLiteral("jwhite")};
        QTest::newRow("blanks trimmed")
            << false << QStringLiteral("  o'brien ; x") << QStringList{QStringLiteral("o'brien")};
        QTest::newRow("separators only") << false << QStringLiteral(" ; ;") << QStringList();
        QTest::newRow("cos name, any type")
            << true << QStringLiteral("exec")
            << QStringList{QStringLiteral("jwhite"), QStringLiteral("system")};
        QTest::newRow("cos names")
            << true << QStringLiteral("night;DEFAULT")
            << QStringList{QStringLiteral("jsmith"), QStringLiteral("o'brien"),
                           QStringLiteral("nofirst"), QStringLiteral("blank")};
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
        QCOMPARE(b.column(QStringLiteral("Alias")), aliases);
        QVERIFY(
            b.env.ui.shown.isEmpty()); // the null display name matches nothing and is no failure
        QCOMPARE(b.progress.shows, 0);
    }

    void fillGridChecksAndEmpties_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no class of service") << 7 << QStringLiteral("You must first select a COS");
        QTest::newRow("no display name text")
            << 10
            << QStringLiteral(
                   "You must enter a sub string or multiple sub strings seperated with ';'");
        QTest::newRow("no cos name text")
            << 11
            << QStringLiteral(
                   "You must enter a sub string or multiple sub strings seperated with ';'");
        QTest::newRow("unknown mode") << 4 << QString();
    }
    void fillGridChecksAndEmpties()
    {
        QFETCH(int, mode);
        QFETCH(QString, message);
        Bench b;
        b.selection.AddAllSubscribers();
        b.env.ui.clear();
        SelectionRequest request;
        request.mode = mode;
        request.cosId = QStringLiteral("cos-1"); // an id without a chosen name is not a choice
        QCOMPARE(b.selection.fillGrid(request), 0);
        QCOMPARE(b.grid.Rows(), 1);
        QVERIFY(b.grid.redraw());
        QCOMPARE(b.env.ui.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(b.progress.of, QStringLiteral("of "));
        QCOMPARE(b.progress.title, QStringLiteral("Loading subscriber data..."));
        QVERIFY(!b.progress.visible);
    }

    void fillGridKeepsOnlyTheLastSelection()
    {
        Bench b;
        SelectionRequest request;
        request.mode = 10;
        request.subString = QStringLiteral("smith");
        QCOMPARE(b.selection.fillGrid(request), 2);
        request.mode = 7;
        request.cosName = QStringLiteral("Executives");
        request.cosId = QStringLiteral("cos-2");
        QCOMPARE(b.selection.fillGrid(request), 1);
        QCOMPARE(b.column(QStringLiteral("Alias")), QStringList{QStringLiteral("jwhite")});
        QCOMPARE(b.grid.TextMatrix(1, 0), QStringLiteral("1"));
        request.mode = 2;
        request.low = QStringLiteral("1");
        request.high = QStringLiteral("150");
        QCOMPARE(b.selection.fillGrid(request), 2); // 0123 and 100
        QVERIFY(b.env.ui.yields >= 3);
    }

    void classesOfServiceAsThePageLoadsThem()
    {
        Bench b;
        StepRunner steps;
        const std::vector<ClassOfService> list = LoadClassesOfService(*b.env.app, steps);
        QCOMPARE(list.size(), size_t(3));
        QCOMPARE(list[1].objectId, QStringLiteral("cos-2"));
        QCOMPARE(list[1].displayName, QStringLiteral("Executives"));
        QCOMPARE(findClassOfService(list, QStringLiteral("Night Shift"))->objectId,
                 QStringLiteral("cos-3"));
        QVERIFY(!findClassOfService(list, QStringLiteral("night shift")));
        QVERIFY(b.env.ui.shown.isEmpty());
    }

    void noClassOfServiceEndsTheProgram()
    {
        Bench b(false);
        b.env.database();
        StepRunner steps;
        QVERIFY_THROWS_EXCEPTION(ExitRequested, LoadClassesOfService(*b.env.app, steps));
        QCOMPARE(b.env.ui.texts(),
                 QStringList{QStringLiteral(
                     "No COS objects found in the backed up database!  Exiting...")});
    }
};

QTEST_GUILESS_MAIN(TestSubscriberSelection)
#include "tst_subscriberselection.moc"
