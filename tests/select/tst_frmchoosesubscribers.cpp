#include "SelectFixture.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "select/frmChooseSubscribers.h"
#include "select/frmProgress.h"
#include "support/ProgramEnd.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

// The inputs the modes show: the mode at list place i shows kInputs.mid(kFirst[i], kCount[i]).
const QStringList kInputs =
    names("txtSubscriberExtensionRangeLow lblExtensionRangeTo txtSubscriberExtensionRangeHigh "
          "txtCSVPath cmdBrowseForCSV ComSubscribersCOS txtDisplayNameSubString lblSubStringLabel");
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
        welcomeNext();
    }
    frmChooseSubscribers& page() { return wizard.selectionPage(); }
    template <typename T = QWidget> T* child(const QString& name) { return page().findChild<T*>(name); }
    void click(const char* name) { child<QPushButton>(QString::fromLatin1(name))->click(); }
    void welcomeNext() { wizard.welcomePage().findChild<QPushButton*>(u"cmdNext"_s)->click(); }
    QString text(const QString& name) { return caption(page(), name); }
    void setText(const QString& name, const QString& t) { child(name)->setProperty("text", t); }
    void setMode(int place) { child<QComboBox>(u"cmbSubscriberSelectType"_s)->setCurrentIndex(place); }
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
    // The page as it first appears; then each mode shows its inputs, and Add runs it with what they hold.
    void appearanceAndModes()
    {
        Page p;
        QCOMPARE(p.page().windowTitle(), u"Tarnwick"_s);
        QCOMPARE(p.page().size(), QSize(11490 / 15, 7695 / 15));
        // Each control, then what it shows (the wizard's shared buttons are held on the export page).
        const QStringList captions =
            u"Label1|Select Subscribers|frameSelectSubscribers|Select Subscribers|cmdView|&Add Subscribers To Grid"
            u"|cmdBrowseForCSV|Browse...|cmdUnselectAll|&deSelect All|cmdSelectAll|&Select All|cmdHelp|&Help"
            u"|lblExtensionRangeTo|To:|lblSubStringLabel"
            u"|(seperate strings with \";\")|lblTotalGridRows|Users in Grid|txtUsersInGrid|0"_s.split(u'|');
        for (qsizetype i = 0; i < captions.size(); i += 2)
            QCOMPARE(p.text(captions[i]), captions[i + 1]);
        auto* grid = p.child<QTableView>(u"myGrid"_s); // its headers, "-" for a hidden column
        QStringList headers;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
            headers << (grid->isColumnHidden(c) ? u"-"_s : grid->model()->headerData(c, Qt::Horizontal).toString());
        QCOMPARE(headers, u"-||Alias|Display Name|First Name|Last Name|Extension|COS|-|-"_s.split(u'|'));
        QCOMPARE(p.visibleInputs(), QStringList());

        // Every input filled once: a mode change keeps them, and each Add replaces the grid.
        p.setMode(2); // the file chosen, then a cancel and a name too short: the path stays
        QStringList answers{
            writeFile(p.env.path(u"in.csv"_s), "alias,Extension\r\nx,1234\r\njwhite,\r\n"), {}, u"a.c"_s};
        p.page().setFileChooser([&](QWidget*, const QString& title, const QString& start) {
            const bool asked = title == u"Select CSV File"_s && start == p.text(u"txtCSVPath"_s);
            return asked ? answers.takeFirst() : QString();
        });
        for (int i = 0; i < 3; ++i)
            p.click("cmdBrowseForCSV");
        QCOMPARE(p.text(u"txtCSVPath"_s), p.env.path(u"in.csv"_s));
        p.setText(u"txtSubscriberExtensionRangeLow"_s, u"100"_s);
        p.setText(u"txtSubscriberExtensionRangeHigh"_s, u"200"_s);
        p.child<QComboBox>(u"ComSubscribersCOS"_s)->setCurrentText(u"Executives"_s);
        p.setText(u"txtDisplayNameSubString"_s, u"exec;smith"_s);
        QStringList found; // each mode's entry, then what it found
        for (int mode = 0; mode < 6; ++mode) {
            p.setMode(mode);
            QCOMPARE(p.visibleInputs(), kInputs.mid(kFirst[mode], kCount[mode]));
            p.click("cmdView");
            found << p.child<QComboBox>(u"cmbSubscriberSelectType"_s)->currentText() + u'=' +
                         gridAliases(p.page().grid()).join(u' ');
            QCOMPARE(p.text(u"txtUsersInGrid"_s), QString::number(p.page().grid().Rows() - 1));
            QVERIFY(p.page().progressWindow().isHidden());
        }
        QCOMPARE(found, u"All Subscribers=jsmith jwhite o'brien nofirst blank|Subscribers with extension numbers from:="
                        u"jwhite o'brien nofirst|Subscribers referenced in this CSV file:=jsmith jwhite|Subscribers "
                        u"associated with this class of service: =jwhite|Select subscribers with sub string in their "
                        u"display name=jsmith nofirst|Select subscribers with sub string in their COS name=jwhite "
                        u"system"_s.split(u'|'));
        QCOMPARE(p.env.ui.texts(),
                 QStringList({kLostCos, kNullExtension,
                              u"Import complete.  2 lines read in from text file,  2 users added to grid."_s}));
    }

    // Load all, tick, be refused, move on and come back: the grid stays as it was left. Then a big grid.
    void throughTheGridAndBack()
    {
        Page p;
        p.click("cmdNext"); // an empty grid
        auto* view = p.child<QTableView>(u"myGrid"_s);
        QAbstractItemModel* model = view->model();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        p.click("cmdView");
        frmProgress& progress = p.page().progressWindow();
        QVERIFY(progress.windowFlags() & Qt::WindowStaysOnTopHint);
        QString labels;
        for (const QString& name : names("frameMainTitle lblCount labelOf labelTotal"))
            labels += caption(progress, name) + u'|';
        QCOMPARE(labels, u"Loading subscriber data...|7|of | 7|"_s);
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c) // only the check box can be changed in place
            QCOMPARE(model->flags(model->index(0, c)) & (Qt::ItemIsUserCheckable | Qt::ItemIsEditable),
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
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
        const QPoint where(150, 100);
        p.page().move(where);
        p.click("cmdNext");
        QCOMPARE(p.wizard.exportPage().pos(), where);
        p.wizard.backFromExport();
        p.click("cmdPrevious");
        QVERIFY(p.page().isHidden());
        QCOMPARE(p.wizard.welcomePage().pos(), where);
        p.welcomeNext();
        QCOMPARE(gridAliases(p.page().grid()), kAllSelectable);
        for (int row = 1; row <= 5; ++row)
            QCOMPARE(p.page().grid().isTicked(row), row != 2 && row != 3);
        QCOMPARE(p.text(u"txtUsersInGrid"_s), u"5"_s);

        // No 16-bit limits: 100,000 rows more, only the last one ticked, and Next goes on.
        SelectionGrid& grid = p.page().grid();
        grid.setRedraw(false);
        for (int i = 0; i < 100000; ++i)
            grid.AddItem(QString::number(grid.Rows()));
        grid.setRedraw(true);
        p.click("cmdUnselectAll");
        grid.setCellChecked(100005, grid.ColIndex(u"selected"_s), 1); // keys ignore letter case
        QCOMPARE(model->rowCount(), 100005);
        p.click("cmdNext");
        QVERIFY(p.wizard.hasExportPage() && p.page().isHidden());
        QCOMPARE(runToProgramEnd(p.env.ui, [&] { p.click("cmdExit"); }).status, 0);
    }

    void loadWithoutADatabaseEnds()
    {
        TestEnvironment env;
        env.app->strConnectionString = kUnreachable;
        QVERIFY_THROWS_EXCEPTION(ExitRequested, Wizard(*env.app).selectionPage());
        // The open and the count fail, then the end.
        QCOMPARE(withoutDriverWords(env.ui.texts()),
                 QStringList(2, u"(error):... in procedure Form_Load of Form frmChooseSubscribers"_s)
                     << u"No COS objects found in the backed up database!  Exiting..."_s);
        QCOMPARE(env.ui.exits, 1);
    }
};

QTEST_MAIN(TestFrmChooseSubscribers)
#include "tst_frmchoosesubscribers.moc"
