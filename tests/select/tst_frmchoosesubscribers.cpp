#include "SelectFixture.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "select/frmChooseSubscribers.h"
#include "select/frmProgress.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

// The inputs the modes show: the mode at list place i shows kInputs.mid(kFirst[i], kCount[i]).
const QStringList kInputs = names(
    "txtSubscriberExtensionRangeLow lblExtensionRangeTo txtSubscriberExtensionRangeHigh txtCSVPath "
    "cmdBrowseForCSV ComSubscribersCOS txtDisplayNameSubString lblSubStringLabel");
const int kFirst[] = {0, 0, 3, 5, 6, 6}, kCount[] = {0, 3, 2, 1, 2, 2};

// What a control shows: a frame's title, any other control's text.
QString caption(const QObject& owner, const QString& name)
{
    const QObject* control = owner.findChild<QObject*>(name);
    return control->property(control->property("title").isValid() ? "title" : "text").toString();
}

// A wizard over the selection organisation, with the selection page shown.
struct Page
{
    Page()
    {
        addSelectionOrganisation(env.database());
        wizard.start();
        click("cmdNext", &wizard.welcomePage());
    }
    frmChooseSubscribers& page() { return wizard.selectionPage(); }
    QWidget* child(QAnyStringView name) { return page().findChild<QWidget*>(name.toString()); }
    QComboBox* list(QAnyStringView name) { return qobject_cast<QComboBox*>(child(name)); }
    void click(QAnyStringView name, QWidget* owner = nullptr)
    {
        (owner ? owner : &page())->findChild<QPushButton*>(name.toString())->click();
    }
    QString text(QAnyStringView name) { return caption(page(), name.toString()); }
    void setText(QAnyStringView name, const QString& t) { child(name)->setProperty("text", t); }
    QStringList visibleInputs()
    {
        QStringList out = kInputs;
        out.removeIf([this](const QString& name) { return !child(name)->isVisibleTo(&page()); });
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
        QVERIFY(p.page().isVisible() && p.wizard.welcomePage().isHidden());
        QCOMPARE(p.page().windowTitle(), u"Tarnwick"_s);
        QCOMPARE(p.page().size(), QSize(11490 / 15, 7695 / 15));
        // Each control, then what it shows.
        const QStringList captions =
            u"Label1|Select Subscribers|frameSelectSubscribers|Select Subscribers|cmdView"
            u"|&Add Subscribers To Grid|cmdBrowseForCSV|Browse...|cmdUnselectAll|&deSelect All"
            u"|cmdSelectAll|&Select All|cmdHelp|&Help|cmdPrevious|<< Previous|cmdNext|Next >>"
            u"|cmdExit|Exit|lblExtensionRangeTo|To:|lblSubStringLabel|(seperate strings with \";\")"
            u"|lblTotalGridRows|Users in Grid|txtUsersInGrid|0"_s.split(u'|');
        for (qsizetype i = 0; i < captions.size(); i += 2)
            QCOMPARE(caption(p.page(), captions[i]), captions[i + 1]);

        QComboBox* modes = p.list("cmbSubscriberSelectType");
        QStringList texts;
        for (int i = 0; i < modes->count(); ++i)
            texts << modes->itemText(i) + u'=' + modes->itemData(i).toString();
        QCOMPARE(texts, u"All Subscribers=1|Subscribers with extension numbers from:=2|Subscribers "
                        u"referenced in this CSV file:=6|Subscribers associated with this class of "
                        u"service: =7|Select subscribers with sub string in their display name=10|"
                        u"Select subscribers with sub string in their COS name=11"_s.split(u'|'));
        QCOMPARE(p.visibleInputs(), QStringList());
        auto* grid = p.page().findChild<QTableView*>();
        QStringList headers;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c) {
            headers << grid->model()->headerData(c, Qt::Horizontal).toString();
            QCOMPARE(grid->isColumnHidden(c), c == 0 || c >= 8);
        }
        QCOMPARE(headers, u"||Alias|Display Name|First Name|Last Name|Extension|COS|HandlerObjectID"
                          u"|ObjectID"_s.split(u'|'));
        QVERIFY(p.env.ui.shown.isEmpty());
    }

    // Each mode shows its inputs, and Add runs it.
    void addInEachMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QStringList>("messages");
        auto row = [](const char* name, int mode, const QString& input, const char* aliases,
                      const QString& message = {}) {
            QTest::newRow(name) << mode << input << names(aliases)
                                << (message.isEmpty() ? QStringList() : QStringList{message});
        };
        row("range", 1, u"100-200"_s, "jwhite o'brien nofirst", kNullExtension);
        row("csv", 2, u"alias,Extension\r\nx,1234\r\njwhite,\r\n"_s, "jsmith jwhite",
            u"Import complete.  2 lines read in from text file,  2 users added to grid."_s);
        row("cos", 3, u"Executives"_s, "jwhite");
        row("cos not chosen", 3, {}, "", u"You must first select a COS"_s);
        row("display name", 4, u"SMITH"_s, "jsmith nofirst");
        row("display name empty", 4, {}, "",
            u"You must enter a sub string or multiple sub strings seperated with ';'"_s);
        row("display name of blanks and ;", 4, u" ; "_s, ""); // only emptiness is refused here
        row("cos name", 5, u"exec"_s, "jwhite system");
    }
    void addInEachMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, input);
        QFETCH(QStringList, aliases);
        QFETCH(QStringList, messages);
        Page p;
        p.click("cmdView"); // a previous load is always replaced, even by one that finds nobody
        p.env.ui.clear();
        p.setText("txtDisplayNameSubString", u"kept"_s);
        p.list("cmbSubscriberSelectType")->setCurrentIndex(mode);
        QCOMPARE(p.visibleInputs(), kInputs.mid(kFirst[mode], kCount[mode]));
        if (mode == 1) {
            p.setText("txtSubscriberExtensionRangeLow", input.section(u'-', 0, 0));
            p.setText("txtSubscriberExtensionRangeHigh", input.section(u'-', 1, 1));
        } else if (mode == 2) { // chosen, then a cancel and a name too short: the path stays
            QStringList answers{writeFile(p.env.path(u"in.csv"_s), input.toLatin1()), {}, u"a.c"_s};
            p.page().setFileChooser([&](QWidget*, const QString& title, const QString& start) {
                const bool asked = title == u"Select CSV File"_s && start == p.text("txtCSVPath");
                return asked ? answers.takeFirst() : QString();
            });
            for (int i = 0; i < 3; ++i)
                p.click("cmdBrowseForCSV");
            QCOMPARE(p.text("txtCSVPath"), p.env.path(u"in.csv"_s));
        } else if (mode == 3) {
            p.list("ComSubscribersCOS")->setCurrentText(input);
        } else if (mode > 3) {
            p.setText("txtDisplayNameSubString", input);
        }
        p.click("cmdView");
        if (mode == 2) // the unseen progress window counts the subscribers handed over
            QCOMPARE(caption(p.page().progressWindow(), u"labelTotal"_s), u"Users added=2"_s);
        QCOMPARE(gridAliases(p.page().grid()), aliases);
        QCOMPARE(p.env.ui.texts(), messages);
        QCOMPARE(p.text("txtUsersInGrid"), QString::number(aliases.size()));
        QCOMPARE(p.page().findChild<QTableView*>()->model()->rowCount(), aliases.size());
        QVERIFY(p.page().progressWindow().isHidden());
        p.list("cmbSubscriberSelectType")->setCurrentIndex(0);
        QCOMPARE(p.visibleInputs(), QStringList());
        QCOMPARE(p.text("txtDisplayNameSubString"), mode > 3 ? input : u"kept"_s);
    }

    // Load all, tick, be refused, move on and come back: the grid stays as it was left.
    void throughTheGridAndBack()
    {
        Page p;
        p.click("cmdNext"); // an empty grid
        auto* view = p.page().findChild<QTableView*>();
        QAbstractItemModel* model = view->model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        p.click("cmdView");
        QCOMPARE(inserted.count(), 0); // a load reaches the view as one reset, not row by row
        frmProgress& progress = p.page().progressWindow();
        QVERIFY(progress.windowFlags() & Qt::WindowStaysOnTopHint);
        QStringList labels;
        for (const QString& name : names("frameMainTitle lblCount labelOf labelTotal"))
            labels << caption(progress, name);
        QCOMPARE(labels, QStringList({u"Loading subscriber data..."_s, u"7"_s, u"of "_s, u" 7"_s}));
        // Only the check box can be changed in place.
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
            QCOMPARE(model->flags(model->index(0, c)) &
                         (Qt::ItemIsUserCheckable | Qt::ItemIsEditable),
                     c == 1 ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);

        p.click("cmdUnselectAll");
        QVERIFY(changed.count() > 0);
        p.click("cmdNext");
        const QString refusal = u"You must select at least one user to be processed"_s;
        QCOMPARE(p.env.ui.texts(), QStringList({refusal, kLostCos, refusal}));
        QVERIFY(p.page().isVisible() && !p.wizard.hasExportPage());
        p.click("cmdSelectAll");
        // A click on a name flips its row (3); one on a check box flips it just once (row 2).
        for (const QModelIndex& cell : {model->index(2, SelectionGrid::Alias), model->index(1, 1)})
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(cell).center());
        p.page().move(150, 100);
        const QPoint where = p.page().pos();

        p.click("cmdNext");
        QVERIFY(p.page().isHidden());
        QCOMPARE(p.wizard.exportPage().pos(), where);
        p.wizard.backFromExport();
        p.click("cmdPrevious");
        QVERIFY(p.page().isHidden());
        QCOMPARE(p.wizard.welcomePage().pos(), where);
        p.click("cmdNext", &p.wizard.welcomePage());
        QVERIFY(p.page().isVisible());
        QCOMPARE(gridAliases(p.page().grid()), kAllSelectable);
        for (int row = 1; row <= 5; ++row)
            QCOMPARE(p.page().grid().isTicked(row), row != 2 && row != 3);
        QCOMPARE(p.text("txtUsersInGrid"), u"5"_s);

        QVERIFY_THROWS_EXCEPTION(ExitRequested, p.click("cmdExit"));
    }

    // No 16-bit limits: a grid of 100,000 rows, its view, and Next with only the last one ticked.
    void hundredThousandRows()
    {
        Page p;
        SelectionGrid& grid = p.page().grid();
        grid.setRedraw(false);
        for (int i = 0; i < 100000; ++i)
            grid.AddItem(QString::number(grid.Rows()));
        grid.setRedraw(true);
        grid.setCellChecked(100000, grid.ColIndex(u"selected"_s), 1); // keys ignore letter case
        QCOMPARE(grid.TextMatrix(100000, 0), u"100000"_s);
        QCOMPARE(p.page().findChild<QTableView*>()->model()->rowCount(), 100000);
        p.click("cmdNext");
        QVERIFY(p.wizard.hasExportPage() && p.page().isHidden());
    }

    void loadWithoutADatabaseEnds()
    {
        TestEnvironment env;
        env.app->strConnectionString = kUnreachable;
        Wizard wizard(*env.app);
        QVERIFY_THROWS_EXCEPTION(ExitRequested, wizard.selectionPage());
        const QStringList texts = env.ui.texts(); // the open and the count fail, then the end
        QCOMPARE(texts.size(), 3);
        for (int i : {0, 1})
            QVERIFY2(
                texts[i].startsWith(u"(error):"_s) &&
                    texts[i].endsWith(u") in procedure Form_Load of Form frmChooseSubscribers"_s),
                qPrintable(texts[i]));
        QCOMPARE(texts[2], u"No COS objects found in the backed up database!  Exiting..."_s);
        QCOMPARE(env.ui.exits, 1);
    }
};

QTEST_MAIN(TestFrmChooseSubscribers)
#include "tst_frmchoosesubscribers.moc"
