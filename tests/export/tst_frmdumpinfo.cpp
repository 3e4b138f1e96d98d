#include "ExportTestSupport.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "select/frmChooseSubscribers.h"
#include "support/ProgramEnd.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarnwick;
using namespace tarnwick::test;

template <typename T = QPushButton> static T* child(QWidget& page, const char* name)
{
    return page.findChild<T*>(QString::fromLatin1(name));
}

// A key as the keyboard gives it: to whatever has the focus.
static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// Tab until the control named has the focus; false if it is never reached.
static bool tabTo(const char* name)
{
    for (int i = 0; i < 40; ++i) {
        if (QApplication::focusWidget() && QApplication::focusWidget()->objectName() == QLatin1String(name))
            return true;
        press(Qt::Key_Tab);
    }
    return false;
}

class TestFrmDumpInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // An administrator's export through the three pages, with keys alone where keys serve: F1 on every page is its
    // Help, F10 reaches the menus, Tab reaches every control, the grid lets Tab go and ticks with Space from any
    // column. On the export page: a short path refused, Browse, Export Data clicked again with Previous during the run
    // (both refused), names that look like formulas made safe. tarnwick-export, given the same selection, writes the
    // same bytes and log but for the time stamp. Previous unloads the page, handing on its place. Then Exit during a
    // run: the run stops at its next row, drops its new file (the previous one stays as it was), logs how far it came,
    // closes the log, and then the program ends.
    void journey()
    {
        ExportFixture d;
        d.db->addMember("L-'TEAM", 1, "S-NOEXT", "=noext", "@No Ext");
        const QByteArray written =
            crlfFile(fixtureCsvLines() << "jsmith,\"Smith, John\",1001,\"Team, core\",11,SUBSCRIBER,'=noext,'@No Ext,");
        Wizard wizard(d.app);
        wizard.start();
        frmMain& welcome = wizard.welcomePage();
        QVERIFY(QTest::qWaitForWindowActive(&welcome));
        const auto f1 = [&] { // here without a help file
            press(Qt::Key_F1);
            QCOMPARE(d.texts(), QStringList("Unable to open help file at:" + d.env.path("Tarnwick.htm")));
            d.clear();
        };
        f1();
        press(Qt::Key_F10);
        QTRY_VERIFY(welcome.menuBar()->activeAction() && welcome.menuBar()->activeAction()->text() == u"&File"_s);
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        QVERIFY(tabTo("cmdNext"));
        press(Qt::Key_Space);

        frmChooseSubscribers& select = wizard.selectionPage();
        QVERIFY(QTest::qWaitForWindowActive(&select));
        f1();
        QVERIFY(tabTo("cmbSubscriberSelectType") && tabTo("cmdView"));
        press(Qt::Key_Space);
        QCOMPARE(select.grid().Rows(), 5);
        QVERIFY(tabTo("myGrid"));
        press(Qt::Key_Down); // to the second row, in the name's column
        press(Qt::Key_Right);
        press(Qt::Key_Space);
        QVERIFY(!select.grid().isTicked(2) && select.grid().isTicked(1));
        press(Qt::Key_Space);
        QVERIFY(select.grid().isTicked(2));
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"cmdUnselectAll"_s);
        QVERIFY(tabTo("cmdNext"));
        press(Qt::Key_Space);
        QPointer<frmDumpInfo> page = &wizard.exportPage();
        QVERIFY(QTest::qWaitForWindowActive(page));
        f1();
        QCOMPARE(child<QLabel>(*page, "lblLogFolder")->text(), "Log folder: " + d.env.folder() + "/logs");
        for (const char* name : {"cmdHelp", "cmdPrevious", "cmdExit", "chkFormulaSafe", "cmdDumpData", "cmdBrowse"})
            QVERIFY2(tabTo(name), name);

        // Enter is a click of the default button; a path too short to be one is refused, and no log begins.
        auto* path = child<QLineEdit>(*page, "txtSavePath");
        QTest::keyClicks(path, u"  ab  "_s);
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(d.texts(), QStringList(u"You must first select a CSV file to save the output to."_s));
        QVERIFY(d.shown[0].title == u"Tarnwick"_s && d.shown[0].kind == RecordingUserInterface::Shown::Message);
        QVERIFY(!QDir(d.app.log.logFolder()).exists());
        d.clear();
        path->clear();

        // Browse starts at home, then in the folder of the path in the box; a cancel leaves the box alone.
        const QString byWizard = d.env.path("private lists.csv");
        QStringList asked, answers{byWizard, {}};
        page->setSaveFileChooser([&](QWidget*, const QString& title, const QString& folder, const QString& filter) {
            asked << title << folder << filter;
            return answers.takeFirst();
        });
        QVERIFY(tabTo("cmdBrowse"));
        press(Qt::Key_Space);
        press(Qt::Key_Space);
        QCOMPARE(asked, QStringList({"Select CSV File Location", QDir::homePath(), "*.csv", "Select CSV File Location",
                                     d.env.folder(), "*.csv"}));
        QCOMPARE(path->text(), byWizard);

        press(Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(child<QCheckBox>(*page, "chkFormulaSafe")->isChecked()); // the access key clicks in a moment
        // During the run what would be refused is greyed; Exit and Help are not. All are back after it.
        const auto enabled = [&] {
            QString out;
            for (const char* name : {"txtSavePath", "cmdBrowse", "cmdDumpData", "cmdPrevious", "cmdExit", "cmdHelp"})
                out += QString::number(child<QWidget>(*page, name)->isEnabled());
            return out;
        };
        QString during;
        d.onYield = [&] {
            QTest::mouseClick(child(*page, "cmdDumpData"), Qt::LeftButton);
            QTest::mouseClick(child(*page, "cmdPrevious"), Qt::LeftButton);
            during = enabled();
        };
        QVERIFY(tabTo("txtSavePath"));
        press(Qt::Key_Return);
        QCOMPARE(during, u"000011"_s);
        QCOMPARE(enabled(), u"111111"_s);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"txtSavePath"_s); // back where it was before the run
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(wizard.hasExportPage() && page->isVisible() && !select.isVisible());
        QCOMPARE(readFile(byWizard), written);
        QCOMPARE(child<QLabel>(*page, "lblProcessingList")->text(), u"[4 of 4] No Ext"_s);
        QCOMPARE(child<QProgressBar>(*page, "ProgressBar")->value(), 4);
        QCOMPARE(d.texts(), QStringList({ExportRun::completionMessage(0, 0), "View CSV output file now?"}));

        QCOMPARE(runExportBinary(d.env.folder(), {"--all", "-o", d.env.path("command.csv"), "--formula-safe"}).first,
                 0);
        QCOMPARE(readFile(d.env.path("command.csv")), readFile(byWizard));
        const QDir logs(d.app.log.logFolder());
        QStringList logTexts; // one log each, the same but for the time stamp
        for (const QString& name : logs.entryList(QDir::Files))
            logTexts << QString::fromUtf8(readFile(logs.filePath(name)))
                            .remove(QRegularExpression("Starting process at:[^\r]*"));
        QVERIFY(logTexts.size() == 2 && logTexts[0].contains(u"Running tarnwick version: 1.0.1"_s) &&
                logTexts[0].contains(u"formulas (beginning with =, +, -, @, tab or CR): 2, written after a '"_s));
        QCOMPARE(logTexts[1], logTexts[0]);

        // An earlier export to compare with, through its own Browse: here the very file the run replaces, read
        // before it is. Nothing changed; the end message names the report.
        page->setOpenFileChooser([&](QWidget*, const QString& title, const QString& folder, const QString&) {
            return title == u"Select Previous Export"_s && folder == d.env.folder() ? byWizard : QString();
        });
        child(*page, "cmdBrowsePrevious")->click();
        d.clear();
        QTest::mouseClick(child(*page, "cmdDumpData"), Qt::LeftButton);
        const QString report = d.env.path("private lists.changes.csv");
        QCOMPARE(d.texts().value(0), ExportRun::completionMessage(0, 0, "  " + ExportRun::changesSentence(0, report)));
        QCOMPARE(readFile(report), crlfFile({ExportComparison::kReportHeader}));

        page->move(40, 30);
        QTest::mouseClick(child(*page, "cmdPrevious"), Qt::LeftButton);
        QVERIFY(select.isVisible());
        QCOMPARE(select.pos(), QPoint(40, 30));
        QTRY_VERIFY(page.isNull());
        wizard.goToExport(select);
        frmDumpInfo& again = wizard.exportPage();
        QVERIFY(child<QLineEdit>(again, "txtSavePath")->text().isEmpty());

        child<QLineEdit>(again, "txtSavePath")->setText(byWizard);
        d.onYield = [&] { child(again, "cmdExit")->click(); };
        d.clear();
        // The program ends in a child: it tells the log it closed, none when the log is still open.
        const auto closedLog = [&] { return d.app.log.isOpen() ? QString() : d.app.log.strLogFileName(); };
        const ProgramEnd end = runToProgramEnd(
            d, [&] { child(again, "cmdDumpData")->click(); }, closedLog);
        QVERIFY(end.status == 0 && !end.probe.isEmpty());
        QCOMPARE(readFile(byWizard), written);
        QVERIFY(d.texts().isEmpty());
        QCOMPARE(d.log(end.probe).last(),
                 "(error) Export interrupted after 0 of 4 subscribers; " + byWizard + " was not replaced");
    }

    // The percentage and time left, once a hundred rows give a pace to go by.
    void progressText_data()
    {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("too early") << 99 << 9409 << 10 << "";
        QTest::newRow("minutes") << 941 << 9409 << 60 << "10% done, about 9 minutes left";
        QTest::newRow("a minute") << 5000 << 9409 << 75 << "53% done, about a minute left";
        QTest::newRow("seconds, in fives") << 9000 << 9409 << 300 << "95% done, about 15 seconds left";
        QTest::newRow("last row") << 9409 << 9409 << 300 << "100% done";
    }
    void progressText()
    {
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(int, seconds);
        QTEST(ExportRun::progressText(done, total, seconds * 1000LL), "text");
    }
};

QTEST_MAIN(TestFrmDumpInfo)
#include "tst_frmdumpinfo.moc"
