#include "SelectFixture.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "select/SelectionGridModel.h"
#include "select/frmChooseSubscribers.h"
#include "select/frmProgress.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace tarnwick;
using tarnwick::test::ExitRequested;
using tarnwick::test::TestEnvironment;

namespace {

const QStringList kModeInputs = {QStringLiteral("txtSubscriberExtensionRangeLow"),
                                 QStringLiteral("lblExtensionRangeTo"),
                                 QStringLiteral("txtSubscriberExtensionRangeHigh"),
                                 QStringLiteral("txtCSVPath"),
                                 QStringLiteral("cmdBrowseForCSV"),
                                 QStringLiteral("ComSubscribersCOS"),
                                 QStringLiteral("txtDisplayNameSubString"),
                                 QStringLiteral("lblSubStringLabel")};

// A wizard over the selection organisation, with the selection page loaded.
struct Page
{
    Page()
    {
        test::addSelectionOrganisation(env.database());
        wizard.start();
        click(wizard.welcomePage(), "cmdNext");
    }
    frmChooseSubscribers& page() { return wizard.selectionPage(); }
    template <typename T = QWidget> T* child(const char* name)
    {
        T* w = page().findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    static void click(QWidget& owner, const char* name)
    {
        owner.findChild<QPushButton*>(QString::fromLatin1(name))->click();
    }
    void click(const char* name) { click(page(), name); }
    void chooseMode(const QString& text)
    {
        auto* modes = child<QComboBox>("cmbSubscriberSelectType");
        modes->setCurrentIndex(modes->findText(text));
    }
    QStringList visibleInputs()
    {
        QStringList out;
        for (const QString& name : kModeInputs) {
            if (page().findChild<QWidget*>(name)->isVisibleTo(&page()))
                out << name;
        }
        return out;
    }
    QString usersInGrid() { return child<QLineEdit>("txtUsersInGrid")->text(); }
    QStringList aliases()
    {
        QStringList out;
        for (int r = 1; r < page().grid().Rows(); ++r)
            out << page().grid().text(r, QStringLiteral("Alias"));
        return out;
    }

    TestEnvironment env;
    Wizard wizard{*env.app};
};

} // namespace

class TestFrmChooseSubscribers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstAppearance()
    {
        Page p;
        frmChooseSubscribers& page = p.page();
        QVERIFY(page.isVisible());
        QVERIFY(p.wizard.welcomePage().isHidden());
        QCOMPARE(page.windowTitle(), QStringLiteral("Tarnwick"));
        QCOMPARE(page.size(), QSize(11490 / 15, 7695 / 15));
        QCOMPARE(p.child<QLabel>("Label1")->text(), QStringLiteral("Select Subscribers"));
        QVERIFY(p.child<QLabel>("Label1")->font().bold());
        QCOMPARE(p.child<QGroupBox>("frameSelectSubscribers")->title(),
                 QStringLiteral("Select Subscribers"));

        const QList<std::pair<const char*, QString>> buttons = {
            {"cmdView", QStringLiteral("&Add Subscribers To Grid")},
            {"cmdBrowseForCSV", QStringLiteral("Browse...")},
            {"cmdUnselectAll", QStringLiteral("&deSelect All")},
            {"cmdSelectAll", QStringLiteral("&Select All")},
            {"cmdHelp", QStringLiteral("&Help")},
            {"cmdPrevious", QStringLiteral("<< Previous")},
            {"cmdNext", QStringLiteral("Next >>")},
            {"cmdExit", QStringLiteral("Exit")}};
        for (const auto& [name, caption] : buttons)
            QCOMPARE(p.child<QPushButton>(name)->text(), caption);
        QCOMPARE(p.child<QLabel>("lblExtensionRangeTo")->text(), QStringLiteral("To:"));
        QCOMPARE(p.child<QLabel>("lblSubStringLabel")->text(),
                 QStringLiteral("(seperate strings with \";\")"));
        QCOMPARE(p.child<QLabel>("lblTotalGridRows")->text(), QStringLiteral("Users in Grid"));
        QVERIFY(p.child<QLabel>("lblTotalGridRows")->alignment() & Qt::AlignRight);
        QCOMPARE(p.usersInGrid(), QStringLiteral("0"));
        QVERIFY(p.child<QLineEdit>("txtUsersInGrid")->isReadOnly());
        QVERIFY(p.child<QLineEdit>("txtCSVPath")->isReadOnly());
        QCOMPARE(p.child<QLineEdit>("txtSubscriberExtensionRangeLow")->maxLength(), 20);
        QCOMPARE(p.child<QLineEdit>("txtSubscriberExtensionRangeHigh")->maxLength(), 20);
        QCOMPARE(p.child<QLineEdit>("txtDisplayNameSubString")->maxLength(), 100);

        auto* modes = p.child<QComboBox>("cmbSubscriberSelectType");
        QCOMPARE(modes->currentText(), QStringLiteral("All Subscribers"));
        QCOMPARE(modes->count(), 6);
        QCOMPARE(modes->itemText(3),
                 QStringLiteral("Subscribers associated with this class of service: "));
        QCOMPARE(modes->itemData(5).toInt(), 11);
        QCOMPARE(p.visibleInputs(), QStringList());

        auto* names = p.child<QComboBox>("ComSubscribersCOS");
        auto* ids = p.child<QComboBox>("comHiddenCOS");
        QCOMPARE(names->count(), 3);
        QCOMPARE(names->currentIndex(), -1);
        QCOMPARE(names->itemText(2), QStringLiteral("Night Shift"));
        QCOMPARE(ids->itemText(names->itemData(2).toInt()), QStringLiteral("cos-3"));
        QVERIFY(!ids->isVisibleTo(&page));

        auto* grid = p.child<QTableView>("myGrid");
        QCOMPARE(grid->model()->rowCount(), 0);
        QVERIFY(grid->isColumnHidden(0) && grid->isColumnHidden(8) && grid->isColumnHidden(9));
        QVERIFY(!grid->isColumnHidden(1) && !grid->isColumnHidden(7));
        QVERIFY(p.env.ui.shown.isEmpty());
    }

    void modeInputsShowOnTheModeLine_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("inputs");
        QTest::newRow("range") << QStringLiteral("Subscribers with extension numbers from:")
                               << QStringList{kModeInputs[0], kModeInputs[1], kModeInputs[2]};
        QTest::newRow("csv") << QStringLiteral("Subscribers referenced in this CSV file:")
                             << QStringList{kModeInputs[3], kModeInputs[4]};
        QTest::newRow("cos") << QStringLiteral(
                                    "Subscribers associated with this class of service: ")
                             << QStringList{kModeInputs[5]};
        QTest::newRow("display name")
            << QStringLiteral("Select subscribers with sub string in their display name")
            << QStringList{kModeInputs[6], kModeInputs[7]};
        QTest::newRow("cos name") << QStringLiteral(
                                         "Select subscribers with sub string in their COS name")
                                  << QStringList{kModeInputs[6], kModeInputs[7]};
    }
    void modeInputsShowOnTheModeLine()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, inputs);
        Page p;
        p.child<QLineEdit>("txtSubscriberExtensionRangeLow")->setText(QStringLiteral("10"));
        p.child<QLineEdit>("txtDisplayNameSubString")->setText(QStringLiteral("smith"));
        p.chooseMode(mode);
        QCOMPARE(p.visibleInputs(), inputs);
        const int top = p.child("cmbSubscriberSelectType")->y();
        int right = p.child("cmbSubscriberSelectType")->geometry().right();
        for (const QString& name : inputs) {
            QWidget* input = p.page().findChild<QWidget*>(name);
            QCOMPARE(input->y(), top);
            QVERIFY2(input->x() > right, qPrintable(name)); // left to right, no overlap
            right = input->geometry().right();
        }
        p.chooseMode(QStringLiteral("All Subscribers"));
        QCOMPARE(p.visibleInputs(), QStringList());
        QCOMPARE(p.child<QLineEdit>("txtSubscriberExtensionRangeLow")->text(),
                 QStringLiteral("10"));
        QCOMPARE(p.child<QLineEdit>("txtDisplayNameSubString")->text(), QStringLiteral("smith"));
        QVERIFY(p.env.ui.shown.isEmpty());
    }

    void addInEachMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QStringList>("messages");
        const QString lost = QStringLiteral(
            "Unable to find single COS instance by ObjectID=cos-gone in AddUsersToGrid routine");
        QTest::newRow("all") << 0 << QString() << test::allSelectableAliases() << QStringList{lost};
        QTest::newRow("range")
            << 1 << QStringLiteral("100-200")
            << QStringList{QStringLiteral("jwhite"), QStringLiteral("o'brien"),
                           QStringLiteral("nofirst")}
            << QStringList{
                   QStringLiteral("Error 94 (Invalid use of Null) in procedure "
                                  "AddSubscribersByExtensionRange of Form frmChooseSubscribers")};
        QTest::newRow("range reversed")
            << 1 << QStringLiteral("200-100") << QStringList()
            << QStringList{QStringLiteral("The upper extension range must be strictly higher than "
                                          "the lower extension range")};
        QTest::newRow("csv")
            << 2 << QStringLiteral("alias,Extension\r\nx,1234\r\njwhite,\r\n")
            << QStringList{QStringLiteral("jsmith"), QStringLiteral("jwhite")}
            << QStringList{QStringLiteral(
                   "Import complete.  2 lines read in from text file,  2 users added to grid.")};
        QTest::newRow("cos") << 3 << QStringLiteral("Executives")
                             << QStringList{QStringLiteral("jwhite")} << QStringList();
        QTest::newRow("cos not chosen")
            << 3 << QString() << QStringList()
            << QStringList{QStringLiteral("You must first select a COS")};
        QTest::newRow("display name")
            << 4 << QStringLiteral("SMITH")
            << QStringList{QStringLiteral("jsmith"), QStringLiteral("nofirst")} << QStringList();
        QTest::newRow("display name empty")
            << 4 << QString() << QStringList()
            << QStringList{QStringLiteral(
                   "You must enter a sub string or multiple sub strings seperated with ';'")};
        QTest::newRow("display name ;")
            << 4 << QStringLiteral(";") << QStringList() << QStringList();
        QTest::newRow("cos name") << 5 << QStringLiteral("exec")
                                  << QStringList{QStringLiteral("jwhite"), QStringLiteral("system")}
                                  << QStringList();
    }
    void addInEachMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, input);
        QFETCH(QStringList, aliases);
        QFETCH(QStringList, messages);
        Page p;
        // A previous load is always replaced, even by one that finds nobody.
        p.click("cmdView");
        p.env.ui.clear();
        p.child<QComboBox>("cmbSubscriberSelectType")->setCurrentIndex(mode);
        switch (mode) {
        case 1:
            p.child<QLineEdit>("txtSubscriberExtensionRangeLow")
                ->setText(input.section(QLatin1Char('-'), 0, 0));
            p.child<QLineEdit>("txtSubscriberExtensionRangeHigh")
                ->setText(input.section(QLatin1Char('-'), 1, 1));
            break;
        case 2: {
            const QString path = p.env.path(QStringLiteral("pick.csv"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(input.toLatin1());
            file.close();
            p.page().setFileChooser([path](QWidget*, const QString& title, const QString&) {
                return title == QStringLiteral("Select CSV File") ? path : QString();
            });
            p.click("cmdBrowseForCSV");
            QCOMPARE(p.child<QLineEdit>("txtCSVPath")->text(), path);
            break;
        }
        case 3: {
            auto* names = p.child<QComboBox>("ComSubscribersCOS");
            names->setCurrentIndex(names->findText(input));
            break;
        }
        case 4:
        case 5:
            p.child<QLineEdit>("txtDisplayNameSubString")->setText(input);
            break;
        }
        p.click("cmdView");
        QCOMPARE(p.aliases(), aliases);
        QCOMPARE(p.env.ui.texts(), messages);
        QCOMPARE(p.usersInGrid(), QString::number(aliases.size()));
        QCOMPARE(p.child<QTableView>("myGrid")->model()->rowCount(), aliases.size());
        QVERIFY(p.page().progressWindow().isHidden());
        QVERIFY(p.page().progressWindow().windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(p.page().grid().redraw());
    }

    void progressWindowAfterALoad()
    {
        Page p;
        p.click("cmdView");
        frmProgress& progress = p.page().progressWindow();
        QCOMPARE(progress.findChild<QGroupBox*>(QStringLiteral("frameMainTitle"))->title(),
                 QStringLiteral("Loading subscriber data..."));
        QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("lblCount"))->text(),
                 QStringLiteral("7"));
        QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("labelOf"))->text(),
                 QStringLiteral("of "));
        QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("labelTotal"))->text(),
                 QStringLiteral(" 7"));
        QCOMPARE(progress.size(), QSize(2970 / 15, 1065 / 15));
        QCOMPARE(progress.y(), p.page().frameGeometry().top() + 200);
    }

    void browseKeepsThePathWhenCancelled_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("kept");
        QTest::newRow("chosen") << QStringLiteral("/tmp/other.csv")
                                << QStringLiteral("/tmp/other.csv");
        QTest::newRow("cancelled") << QString() << QStringLiteral("/tmp/first.csv");
        QTest::newRow("too short") << QStringLiteral("a.c") << QStringLiteral("/tmp/first.csv");
    }
    void browseKeepsThePathWhenCancelled()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, kept);
        Page p;
        QString offered;
        p.page().setFileChooser([&](QWidget*, const QString&, const QString& start) {
            offered = start;
            return QStringLiteral("/tmp/first.csv");
        });
        p.click("cmdBrowseForCSV");
        p.page().setFileChooser([&](QWidget*, const QString&, const QString& start) {
            offered = start;
            return chosen;
        });
        p.click("cmdBrowseForCSV");
        QCOMPARE(offered, QStringLiteral("/tmp/first.csv"));
        QCOMPARE(p.child<QLineEdit>("txtCSVPath")->text(), kept);
    }

    void ticksAndButtons()
    {
        Page p;
        p.click("cmdView");
        auto* view = p.child<QTableView>("myGrid");
        SelectionGrid& grid = p.page().grid();
        // A click on a row's name flips its tick; the count of users stays.
        const QRect cell = view->visualRect(view->model()->index(1, SelectionGrid::Alias));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(!grid.isTicked(2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(grid.isTicked(2));
        p.click("cmdUnselectAll");
        QVERIFY(!AnySubscriberSelected(grid));
        QCOMPARE(view->model()->data(view->model()->index(0, 1), Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));
        p.click("cmdSelectAll");
        QVERIFY(grid.isTicked(1) && grid.isTicked(5));
        QCOMPARE(p.usersInGrid(), QStringLiteral("5"));
    }

    void nextRefusedWithNothingTicked()
    {
        Page p;
        p.click("cmdNext"); // empty grid
        p.click("cmdView");
        p.env.ui.clear();
        p.click("cmdUnselectAll");
        p.click("cmdNext");
        const QString refusal = QStringLiteral("You must select at least one user to be processed");
        QCOMPARE(p.env.ui.texts(), QStringList{refusal});
        QVERIFY(p.page().isVisible());
        QVERIFY(!p.wizard.hasExportPage());
    }

    void previousAndNextKeepTheGrid()
    {
        Page p;
        p.chooseMode(QStringLiteral("Select subscribers with sub string in their display name"));
        p.child<QLineEdit>("txtDisplayNameSubString")->setText(QStringLiteral("smith;white"));
        p.click("cmdView");
        p.page().grid().setCurrentCell(2, SelectionGrid::DisplayName);
        p.page().grid().clickCurrentCell();
        p.page().move(150, 100);
        const QPoint where = p.page().pos();

        p.click("cmdNext");
        QVERIFY(p.wizard.hasExportPage());
        QVERIFY(p.page().isHidden());
        QCOMPARE(p.wizard.exportPage().pos(), where);
        p.wizard.backFromExport();
        QVERIFY(p.page().isVisible());

        p.click("cmdPrevious");
        QVERIFY(p.page().isHidden());
        QVERIFY(p.wizard.welcomePage().isVisible());
        QCOMPARE(p.wizard.welcomePage().pos(), where);
        Page::click(p.wizard.welcomePage(), "cmdNext");
        QVERIFY(p.page().isVisible());

        QCOMPARE(p.aliases(), (QStringList{QStringLiteral("jsmith"), QStringLiteral("jwhite"),
                                           QStringLiteral("nofirst")}));
        QVERIFY(p.page().grid().isTicked(1) && !p.page().grid().isTicked(2) &&
                p.page().grid().isTicked(3));
        QCOMPARE(p.usersInGrid(), QStringLiteral("3"));
        QCOMPARE(p.child<QComboBox>("cmbSubscriberSelectType")->currentData().toInt(), 10);
        QCOMPARE(p.child<QLineEdit>("txtDisplayNameSubString")->text(),
                 QStringLiteral("smith;white"));
        QCOMPARE(p.visibleInputs(), (QStringList{kModeInputs[6], kModeInputs[7]}));
        QCOMPARE(p.child<QComboBox>("ComSubscribersCOS")->count(), 3); // filled once
    }

    void exitAndClose()
    {
        Page p;
        QVERIFY_THROWS_EXCEPTION(ExitRequested, p.click("cmdExit"));
        QVERIFY_THROWS_EXCEPTION(ExitRequested, p.page().close());
        p.click("cmdHelp");
        QCOMPARE(p.env.ui.texts().size(), 1);
        QVERIFY(p.env.ui.texts()[0].startsWith(QStringLiteral("Unable to open help file at:")));
    }

    void loadWithoutClassesOfServiceEnds()
    {
        TestEnvironment env;
        env.database();
        Wizard wizard(*env.app);
        QVERIFY_THROWS_EXCEPTION(ExitRequested, wizard.selectionPage());
        QCOMPARE(env.ui.texts(),
                 QStringList{QStringLiteral(
                     "No COS objects found in the backed up database!  Exiting...")});
        QCOMPARE(env.ui.exits, 1);
    }

    void loadWithoutADatabaseEnds()
    {
        TestEnvironment env;
        env.app->strConnectionString = demo::DemoDatabase::sqliteConnectionString(
            env.path(QStringLiteral("no/such/folder/OrvaneDb")));
        Wizard wizard(*env.app);
        QVERIFY_THROWS_EXCEPTION(ExitRequested, wizard.selectionPage());
        const QStringList texts = env.ui.texts();
        QCOMPARE(texts.size(), 3);
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(texts[i].startsWith(QStringLiteral("(error):")), qPrintable(texts[i]));
            QVERIFY(texts[i].endsWith(
                QStringLiteral(") in procedure Form_Load of Form frmChooseSubscribers")));
        }
        QCOMPARE(texts[2],
                 QStringLiteral("No COS objects found in the backed up database!  Exiting..."));
        QCOMPARE(env.ui.exits, 1);
    }
};

QTEST_MAIN(TestFrmChooseSubscribers)
#include "tst_frmchoosesubscribers.moc"
