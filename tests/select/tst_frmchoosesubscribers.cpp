#include "SelectFixture.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "select/frmChooseSubscribers.h"
#include "select/frmProgress.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

// The inputs the modes show, by the mode's place in the list.
const QStringList kModeInputs = names(
    "txtSubscriberExtensionRangeLow lblExtensionRangeTo txtSubscriberExtensionRangeHigh txtCSVPath "
    "cmdBrowseForCSV ComSubscribersCOS txtDisplayNameSubString lblSubStringLabel");
const QList<QStringList> kInputsOfMode = {{},
                                          kModeInputs.mid(0, 3),
                                          kModeInputs.mid(3, 2),
                                          kModeInputs.mid(5, 1),
                                          kModeInputs.mid(6, 2),
                                          kModeInputs.mid(6, 2)};

// A wizard over the selection organisation, with the selection page shown.
struct Page
{
    Page()
    {
        addSelectionOrganisation(env.database());
        wizard.start();
        click(wizard.welcomePage(), "cmdNext");
    }
    frmChooseSubscribers& page() { return wizard.selectionPage(); }
    template <typename T = QWidget> T* child(const char* name)
    {
        return page().findChild<T*>(QString::fromLatin1(name));
    }
    static void click(QWidget& owner, const char* name)
    {
        owner.findChild<QPushButton*>(QString::fromLatin1(name))->click();
    }
    void click(const char* name) { click(page(), name); }
    QString text(const char* name) { return child(name)->property("text").toString(); }
    void setText(const char* name, const QString& text) { child<QLineEdit>(name)->setText(text); }
    void setMode(int index) { child<QComboBox>("cmbSubscriberSelectType")->setCurrentIndex(index); }
    QStringList visibleInputs()
    {
        QStringList out;
        for (const QString& name : kModeInputs) {
            if (page().findChild<QWidget*>(name)->isVisibleTo(&page()))
                out << name;
        }
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
        // Control, then its text.
        const QStringList captions = {u"Label1"_s,
                                      u"Select Subscribers"_s,
                                      u"cmdView"_s,
                                      u"&Add Subscribers To Grid"_s,
                                      u"cmdBrowseForCSV"_s,
                                      u"Browse..."_s,
                                      u"cmdUnselectAll"_s,
                                      u"&deSelect All"_s,
                                      u"cmdSelectAll"_s,
                                      u"&Select All"_s,
                                      u"cmdHelp"_s,
                                      u"&Help"_s,
                                      u"cmdPrevious"_s,
                                      u"<< Previous"_s,
                                      u"cmdNext"_s,
                                      u"Next >>"_s,
                                      u"cmdExit"_s,
                                      u"Exit"_s,
                                      u"lblExtensionRangeTo"_s,
                                      u"To:"_s,
                                      u"lblSubStringLabel"_s,
                                      u"(seperate strings with \";\")"_s,
                                      u"lblTotalGridRows"_s,
                                      u"Users in Grid"_s,
                                      u"txtUsersInGrid"_s,
                                      u"0"_s};
        for (qsizetype i = 0; i < captions.size(); i += 2)
            QCOMPARE(p.text(qPrintable(captions[i])), captions[i + 1]);
        QCOMPARE(p.child("frameSelectSubscribers")->property("title").toString(),
                 u"Select Subscribers"_s);

        auto* modes = p.child<QComboBox>("cmbSubscriberSelectType");
        QStringList texts;
        QList<int> codes;
        for (int i = 0; i < modes->count(); ++i) {
            texts << modes->itemText(i);
            codes << modes->itemData(i).toInt();
        }
        QCOMPARE(texts,
                 QStringList({u"All Subscribers"_s, u"Subscribers with extension numbers from:"_s,
                              u"Subscribers referenced in this CSV file:"_s,
                              u"Subscribers associated with this class of service: "_s,
                              u"Select subscribers with sub string in their display name"_s,
                              u"Select subscribers with sub string in their COS name"_s}));
        QCOMPARE(codes, QList<int>({1, 2, 6, 7, 10, 11}));
        QCOMPARE(modes->currentIndex(), 0);
        QCOMPARE(p.visibleInputs(), QStringList());

        auto* names = p.child<QComboBox>("ComSubscribersCOS");
        auto* ids = p.child<QComboBox>("comHiddenCOS");
        QCOMPARE(names->count(), 3);
        QCOMPARE(names->currentIndex(), -1);
        QCOMPARE(ids->itemText(names->itemData(2).toInt()), u"cos-3"_s); // "Night Shift"
        QVERIFY(!ids->isVisibleTo(&p.page()));

        auto* grid = p.child<QTableView>("myGrid");
        QCOMPARE(grid->model()->rowCount(), 0);
        QList<int> hidden;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c) {
            if (grid->isColumnHidden(c))
                hidden << c;
        }
        QCOMPARE(hidden, QList<int>({0, 8, 9}));
        QVERIFY(p.env.ui.shown.isEmpty());
    }

    // Each mode shows its inputs on the mode list's line, and Add runs it.
    void addInEachMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QStringList>("messages");
        const QStringList none;
        QTest::newRow("all") << 0 << QString() << allSelectableAliases() << QStringList{kLostCos};
        QTest::newRow("range") << 1 << u"100-200"_s << names("jwhite o'brien nofirst")
                               << QStringList{kNullExtension};
        QTest::newRow("csv") << 2 << u"alias,Extension\r\nx,1234\r\njwhite,\r\n"_s
                             << names("jsmith jwhite")
                             << QStringList{u"Import complete.  2 lines read in from text file,  "
                                            u"2 users added to grid."_s};
        QTest::newRow("cos") << 3 << u"Executives"_s << names("jwhite") << none;
        QTest::newRow("cos not chosen")
            << 3 << QString() << none << QStringList{u"You must first select a COS"_s};
        QTest::newRow("display name") << 4 << u"SMITH"_s << names("jsmith nofirst") << none;
        QTest::newRow("display name empty")
            << 4 << QString() << none
            << QStringList{u"You must enter a sub string or multiple sub strings seperated with "
                           u"';'"_s};
        QTest::newRow("display name ;") << 4 << u";"_s << none << none;
        QTest::newRow("cos name") << 5 << u"exec"_s << names("jwhite system") << none;
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
        p.setMode(mode);
        QCOMPARE(p.visibleInputs(), kInputsOfMode[mode]);
        for (const QString& name : kInputsOfMode[mode])
            QCOMPARE(p.page().findChild<QWidget*>(name)->y(),
                     p.child("cmbSubscriberSelectType")->y());
        if (mode == 1) {
            p.setText("txtSubscriberExtensionRangeLow", input.section(u'-', 0, 0));
            p.setText("txtSubscriberExtensionRangeHigh", input.section(u'-', 1, 1));
        } else if (mode == 2) {
            // Chosen, then a cancel and a name too short: the path stays.
            QStringList answers{writeFile(p.env.path(u"in.csv"_s), input.toLatin1()), {}, u"a.c"_s};
            p.page().setFileChooser([&](QWidget*, const QString& title, const QString& start) {
                return title == u"Select CSV File"_s && start == p.text("txtCSVPath")
                           ? answers.takeFirst()
                           : QString();
            });
            for (int i = 0; i < 3; ++i)
                p.click("cmdBrowseForCSV");
            QCOMPARE(p.text("txtCSVPath"), p.env.path(u"in.csv"_s));
        } else if (mode == 3) {
            auto* cos = p.child<QComboBox>("ComSubscribersCOS");
            cos->setCurrentIndex(cos->findText(input));
        } else if (mode > 3) {
            p.setText("txtDisplayNameSubString", input);
        }
        p.click("cmdView");
        QCOMPARE(gridAliases(p.page().grid()), aliases);
        QCOMPARE(p.env.ui.texts(), messages);
        QCOMPARE(p.text("txtUsersInGrid"), QString::number(aliases.size()));
        QCOMPARE(p.child<QTableView>("myGrid")->model()->rowCount(), aliases.size());
        QVERIFY(p.page().progressWindow().isHidden());
        p.setMode(0);
        QCOMPARE(p.visibleInputs(), QStringList());
        QCOMPARE(p.text("txtDisplayNameSubString"), mode > 3 ? input : u"kept"_s);
    }

    // Load, tick, refuse, move on and come back: the grid stays as it was left.
    void throughTheGridAndBack()
    {
        Page p;
        p.click("cmdNext"); // an empty grid
        p.click("cmdView");
        frmProgress& progress = p.page().progressWindow();
        QVERIFY(progress.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(progress.y(), p.page().frameGeometry().top() + 3000 / 15);
        QCOMPARE(progress.findChild<QWidget*>(u"frameMainTitle"_s)->property("title").toString(),
                 u"Loading subscriber data..."_s);
        QStringList labels;
        for (const char* name : {"lblCount", "labelOf", "labelTotal"})
            labels << progress.findChild<QWidget*>(QString::fromLatin1(name))
                          ->property("text")
                          .toString();
        QCOMPARE(labels, QStringList({u"7"_s, u"of "_s, u" 7"_s}));

        p.click("cmdUnselectAll");
        p.click("cmdNext");
        const QString refusal = u"You must select at least one user to be processed"_s;
        QCOMPARE(p.env.ui.texts(), QStringList({refusal, kLostCos, refusal}));
        QVERIFY(p.page().isVisible() && !p.wizard.hasExportPage());
        p.click("cmdSelectAll");
        // A click on a row's name flips its tick.
        auto* view = p.child<QTableView>("myGrid");
        const QRect cell = view->visualRect(view->model()->index(1, SelectionGrid::Alias));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        p.page().move(150, 100);
        const QPoint where = p.page().pos();

        p.click("cmdNext");
        QVERIFY(p.page().isHidden());
        QCOMPARE(p.wizard.exportPage().pos(), where);
        p.wizard.backFromExport();
        p.click("cmdPrevious");
        QVERIFY(p.page().isHidden());
        QCOMPARE(p.wizard.welcomePage().pos(), where);
        Page::click(p.wizard.welcomePage(), "cmdNext");
        QVERIFY(p.page().isVisible());
        QCOMPARE(gridAliases(p.page().grid()), allSelectableAliases());
        QVERIFY(p.page().grid().isTicked(1) && !p.page().grid().isTicked(2));
        QVERIFY(p.page().grid().isTicked(3) && p.page().grid().isTicked(5));
        QCOMPARE(p.text("txtUsersInGrid"), u"5"_s);
        QCOMPARE(p.child<QComboBox>("ComSubscribersCOS")->count(), 3); // filled once
    }

    void exitCloseAndHelp()
    {
        Page p;
        QVERIFY_THROWS_EXCEPTION(ExitRequested, p.click("cmdExit"));
        QVERIFY_THROWS_EXCEPTION(ExitRequested, p.page().close());
        p.click("cmdHelp");
        QCOMPARE(p.env.ui.texts().size(), 1);
        QVERIFY(p.env.ui.texts()[0].startsWith(u"Unable to open help file at:"_s));
    }

    void loadWithoutClassesOfServiceEnds_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::newRow("vw_COS empty") << true;
        QTest::newRow("no database") << false;
    }
    void loadWithoutClassesOfServiceEnds()
    {
        QFETCH(bool, reachable);
        TestEnvironment env;
        if (reachable)
            env.database();
        else
            env.app->strConnectionString = unreachable(env);
        Wizard wizard(*env.app);
        QVERIFY_THROWS_EXCEPTION(ExitRequested, wizard.selectionPage());
        QStringList texts = env.ui.texts();
        QCOMPARE(texts.takeLast(),
                 u"No COS objects found in the backed up database!  Exiting..."_s);
        QCOMPARE(texts.size(), reachable ? 0 : 2); // the open and the count, then the end
        for (const QString& text : texts) {
            QVERIFY2(text.startsWith(u"(error):"_s) &&
                         text.endsWith(u") in procedure Form_Load of Form frmChooseSubscribers"_s),
                     qPrintable(text));
        }
        QCOMPARE(env.ui.exits, 1);
    }
};

QTEST_MAIN(TestFrmChooseSubscribers)
#include "tst_frmchoosesubscribers.moc"
