#include "SelectFixture.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "select/frmChooseSubscribers.h"
#include "select/frmProgress.h"
#include "support/ProgramEnd.h"
#include "widgets/WidgetUserInterface.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
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
    // Each mode shows its inputs, named for a screen reader as the mode asks, and Add runs it with what they hold.
    void modes()
    {
        Page p;
        QCOMPARE(p.visibleInputs(), QStringList());

        // Every input filled once: a mode change keeps them, and each Add replaces the grid.
        p.setMode(2); // the file chosen, then a cancel and a name too short: the path stays
        QStringList answers{
            writeFile(p.env.path(u"in.csv"_s), "alias,Extension\r\nx,1234\r\njwhite,\r\n"), {}, u"a.c"_s};
        QStringList starts; // the first Browse starts at home, the next at the file chosen
        p.page().setFileChooser([&](QWidget*, const QString& title, const QString& start) {
            starts << start;
            return title == u"Select CSV File"_s ? answers.takeFirst() : QString();
        });
        for (int i = 0; i < 3; ++i)
            p.click("cmdBrowseForCSV");
        QCOMPARE(p.text(u"txtCSVPath"_s), p.env.path(u"in.csv"_s));
        QCOMPARE(starts, QStringList({QDir::homePath(), p.env.path(u"in.csv"_s), p.env.path(u"in.csv"_s)}));
        QCOMPARE(p.wizard.browseFolder(), p.env.folder());
        p.setText(u"txtSubscriberExtensionRangeLow"_s, u"100"_s);
        p.setText(u"txtSubscriberExtensionRangeHigh"_s, u"200"_s);
        p.child<QComboBox>(u"ComSubscribersCOS"_s)->setCurrentText(u"Executives"_s);
        p.setText(u"txtDisplayNameSubString"_s, u"exec;smith"_s);
        QStringList found; // each mode's entry, then what it found
        QStringList spoken; // what a screen reader announces for each mode's inputs
        QStringList statuses; // the status line under the grid after each load
        for (int mode = 0; mode < 6; ++mode) {
            p.setMode(mode);
            QCOMPARE(p.visibleInputs(), kInputs.mid(kFirst[mode], kCount[mode]));
            QStringList inputs;
            for (const QString& name : p.visibleInputs())
                if (!name.startsWith(u"lbl"_s) && !name.startsWith(u"cmd"_s))
                    inputs << p.child(name)->accessibleName();
            spoken << inputs.join(u'+');
            p.click("cmdView");
            found << p.child<QComboBox>(u"cmbSubscriberSelectType"_s)->currentText() + u'=' +
                         gridAliases(p.page().grid()).join(u' ');
            QCOMPARE(p.text(u"txtUsersInGrid"_s), QString::number(p.page().grid().Rows() - 1));
            statuses << p.text(u"lblStatus"_s);
            QVERIFY(p.page().progressWindow().isHidden());
        }
        QCOMPARE(found, u"All Subscribers=jsmith jwhite o'brien nofirst blank|Subscribers with extension numbers from:="
                        u"jwhite o'brien nofirst|Subscribers referenced in this CSV file:=jsmith jwhite|Subscribers "
                        u"associated with this class of service: =jwhite|Select subscribers with sub string in their "
                        u"display name=jsmith nofirst|Select subscribers with sub string in their COS name=jwhite "
                        u"system"_s.split(u'|'));
        QCOMPARE(spoken, QStringList({u""_s, u"Lowest extension+Highest extension"_s, u"CSV file"_s,
                                      u"Class of service"_s, u"Sub strings of display names, separated by ;"_s,
                                      u"Sub strings of class-of-service names, separated by ;"_s}));
        // A fact about the data goes to the status line, not a box.
        QCOMPARE(statuses, QStringList({{}, kNullExtension, {}, {}, {}, {}}));
        QCOMPARE(
            p.env.ui.texts(),
            QStringList({kLostCos, u"Import complete.  2 lines read in from text file,  2 users added to grid."_s}));
        // A range that holds nobody says so there too.
        p.setMode(1);
        p.setText(u"txtSubscriberExtensionRangeLow"_s, u"5000"_s);
        p.setText(u"txtSubscriberExtensionRangeHigh"_s, u"6000"_s);
        p.click("cmdView");
        QCOMPARE(p.text(u"lblStatus"_s), u"No subscribers were found for this selection.  "_s + kNullExtension);
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
        QString labels;
        for (const QString& name : names("frameMainTitle lblCount labelOf labelTotal"))
            labels += caption(progress, name) + u'|';
        QCOMPARE(labels, u"Loading subscriber data...|7|of | 7|"_s);
        // Only the check box changes in place: the grid's cells name what the export reads.
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
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

    // Sorting by a header (numbers as numbers), a filter that keeps the ticks, Select All and deSelect All on the rows
    // shown, the ticked count; the grid's own order, which the export walks, never changes.
    void gridToWorkIn()
    {
        Page p;
        p.click("cmdView");
        auto* view = p.child<QTableView>(u"myGrid"_s);
        QAbstractItemModel* shown = view->model();
        // Taking the keyboard shows a current cell on the first row.
        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(view, &focusIn);
        QCOMPARE(view->currentIndex().row(), 0);
        const auto aliases = [&] {
            QStringList out;
            for (int r = 0; r < shown->rowCount(); ++r)
                out << shown->index(r, SelectionGrid::Alias).data().toString();
            return out.join(u' ');
        };
        QCOMPARE(aliases(), kAllSelectable.join(u' '));
        QTest::mouseClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(view->columnViewportPosition(SelectionGrid::Extension) + 5, 5));
        QCOMPARE(aliases(), u"o'brien jwhite nofirst jsmith blank"_s); // 100 0123 200 1234, then no number
        view->sortByColumn(SelectionGrid::Extension, Qt::DescendingOrder);
        QCOMPARE(aliases(), u"blank jsmith nofirst jwhite o'brien"_s);

        p.setText(u"txtFilter"_s, u"SMITH"_s); // any shown column, any letter case
        QCOMPARE(aliases(), u"jsmith nofirst"_s);
        p.click("cmdUnselectAll");
        QCOMPARE(p.text(u"lblTicked"_s), u"3 of 5 ticked"_s);
        // A click on a name flips that row through the sorted, filtered view.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(shown->index(1, SelectionGrid::Alias)).center());
        p.setText(u"txtFilter"_s, u"nobody has this"_s);
        p.click("cmdSelectAll"); // nothing shown, nothing ticked
        p.setText(u"txtFilter"_s, QString());
        QCOMPARE(aliases(), u"blank jsmith nofirst jwhite o'brien"_s);
        QCOMPARE(gridAliases(p.page().grid()), kAllSelectable);
        QStringList ticks;
        for (int row = 1; row < p.page().grid().Rows(); ++row)
            ticks << QString::number(p.page().grid().isTicked(row));
        QCOMPARE(ticks.join(u' '), u"0 1 1 1 1"_s);
        QCOMPARE(p.text(u"lblTicked"_s), u"4 of 5 ticked"_s);
        p.click("cmdUnselectAll");
        QCOMPARE(p.text(u"lblTicked"_s), u"0 of 5 ticked"_s);
    }

    // A name too long for the export's progress line is cut with an ellipsis at the frame, whole in its tooltip.
    void longNameOnTheProgressLine()
    {
        Page p;
        p.click("cmdView");
        const QString longName = u"Bartholomew "_s.repeated(12) + u"(Regional Operations)"_s;
        p.page().grid().setTextMatrix(p.page().grid().Rows() - 1, SelectionGrid::DisplayName, longName);
        p.click("cmdNext");
        frmDumpInfo& exportPage = p.wizard.exportPage();
        exportPage.findChild<QLineEdit*>(u"txtSavePath"_s)->setText(p.env.path(u"out.csv"_s));
        exportPage.findChild<QPushButton*>(u"cmdDumpData"_s)->click();
        auto* caption = exportPage.findChild<QLabel*>(u"lblProcessingList"_s);
        QVERIFY2(caption->text().startsWith(u"[5 of 5] Bartholomew"_s) && caption->text().endsWith(u'\u2026'),
                 qPrintable(caption->text()));
        QVERIFY(caption->fontMetrics().horizontalAdvance(caption->text()) <= caption->width());
        QCOMPARE(caption->toolTip(), u"[5 of 5] "_s + longName);
    }

    // While a load runs (its progress window lets events through), the controls that would mix selections or leave
    // refuse; Exit and Help stay usable. Clicks and keys that arrive during the load never run after it.
    void clicksDuringALoadRefuse()
    {
        Page p;
        int browsed = 0;
        p.page().setFileChooser([&](QWidget*, const QString&, const QString&) { return ++browsed, QString(); });
        const QStringList refusing = names("cmdView cmdBrowseForCSV cmdSelectAll cmdUnselectAll cmdNext cmdPrevious");
        QStringList during;
        QTimer::singleShot(0, &p.page(), [&] {
            during << u"loading %1, progress shown %2"_s.arg(p.page().isLoading())
                          .arg(p.page().progressWindow().isVisible());
            for (const QString& name : refusing) {
                QTest::mouseClick(p.child<QPushButton>(name), Qt::LeftButton);
                QCoreApplication::postEvent(p.child(name), new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, {}, u" "_s));
            }
            auto* mode = p.child<QComboBox>(u"cmbSubscriberSelectType"_s);
            QTest::keyClick(mode, Qt::Key_Down);
            QTest::keyClick(&p.page(), Qt::Key_D, Qt::AltModifier); // deSelect All by its access key
            for (const char* open : {"cmdExit", "cmdHelp"})
                during << QString::fromLatin1(open) + u' ' +
                              QString::number(p.child(QString::fromLatin1(open))->isEnabled());
        });
        p.click("cmdView");
        QCOMPARE(during, QStringList({u"loading 1, progress shown 1"_s, u"cmdExit 1"_s, u"cmdHelp 1"_s}));
        QVERIFY(!p.page().isLoading() && p.page().isVisible() && !p.wizard.hasExportPage());
        QCOMPARE(gridAliases(p.page().grid()), kAllSelectable); // one selection, every row still ticked
        for (int row = 1; row < p.page().grid().Rows(); ++row)
            QVERIFY(p.page().grid().isTicked(row));
        QCOMPARE(p.child<QComboBox>(u"cmbSubscriberSelectType"_s)->currentIndex(), 0);
        QCOMPARE(browsed, 0);
        QCOMPARE(p.env.ui.texts(), QStringList{kLostCos});
        for (const QString& name : refusing) // and after the load they work again
            QVERIFY2(p.child(name)->isEnabled(), qPrintable(name));
    }

    // A message box of a load is never hidden under the always-on-top progress window: the window steps aside.
    void messageBoxesOverTheProgressWindow()
    {
        Page p;
        frmProgress& progress = p.page().progressWindow();
        progress.labels().show();
        QVERIFY(progress.isVisible());
        QStringList seen;
        QTimer::singleShot(0, &p.page(), [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seen << (box ? box->text() : u"no box"_s) << (progress.isVisible() ? u"covered"_s : u"clear"_s);
            if (box)
                box->accept();
        });
        WidgetUserInterface().showMessage(u"No subscribers found in database!"_s);
        QCOMPARE(seen, QStringList({u"No subscribers found in database!"_s, u"clear"_s}));
        QVERIFY(progress.isVisible()); // back for the rest of the load
        progress.labels().hide();
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
