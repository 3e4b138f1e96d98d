#include "export/frmDumpInfo.h"

#include "ExportTestSupport.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "select/frmChooseSubscribers.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

template <typename T = QPushButton> T* child(QWidget& page, const char* name)
{
    T* found = page.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qWarning() << "no" << name << "on" << page.objectName();
    return found;
}

// What an administrator does: Next on the welcome page, "All Subscribers" and
// Add on the selection page, Next, the path, "&Export Data".
frmDumpInfo* exportThroughThePages(Wizard& wizard, const QString& outPath)
{
    wizard.start();
    QTest::mouseClick(child(wizard.welcomePage(), "cmdNext"), Qt::LeftButton);
    frmChooseSubscribers& select = wizard.selectionPage();
    if (!select.isVisible() || child<QComboBox>(select, "cmbSubscriberSelectType")->currentText() !=
                                   QStringLiteral("All Subscribers"))
        return nullptr;
    QTest::mouseClick(child(select, "cmdView"), Qt::LeftButton);
    QTest::mouseClick(child(select, "cmdNext"), Qt::LeftButton);
    if (!wizard.hasExportPage())
        return nullptr;
    frmDumpInfo& page = wizard.exportPage();
    QTest::keyClicks(child<QLineEdit>(page, "txtSavePath"), outPath);
    QTest::mouseClick(child(page, "cmdDumpData"), Qt::LeftButton);
    return &page;
}

QStringList withoutStartTime(QStringList lines)
{
    lines.removeIf([](const QString& line) {
        return line.startsWith(QStringLiteral("Starting process at:"));
    });
    return lines;
}

} // namespace

class TestFrmDumpInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pageAsDesigned()
    {
        TestEnvironment env;
        env.database().addCos(QStringLiteral("C1"), QStringLiteral("Default"));
        Wizard wizard(*env.app);
        frmDumpInfo& page = wizard.exportPage();
        QCOMPARE(page.windowTitle(), QStringLiteral("Tarnwick"));
        QCOMPARE(page.size(), QSize(760, 515));
        QCOMPARE(child<QLabel>(page, "Label1")->text(), QStringLiteral("Export Private List Data"));
        QVERIFY(child<QLabel>(page, "Label1")->font().bold());
        QCOMPARE(
            child<QLabel>(page, "Label2")->text(),
            QStringLiteral("Chose a CSV file to write the private distribution list information "
                           "for the user's "
                           "you've selected and press the \"Export Data\" button to proceed."));
        QCOMPARE(child<QGroupBox>(page, "framePath")->title(),
                 QStringLiteral("Write membership data to:"));
        QCOMPARE(child<QGroupBox>(page, "frameProgress")->title(), QStringLiteral("Progress"));
        QCOMPARE(child<QLabel>(page, "lblListProgress")->text(),
                 QStringLiteral("Processing Subscriber:"));
        QCOMPARE(child<QLabel>(page, "lblProcessingList")->text(), QStringLiteral("0"));
        QVERIFY(child<QLineEdit>(page, "txtSavePath")->text().isEmpty());
        QVERIFY(child<QProgressBar>(page, "ProgressBar"));
        QVERIFY(child(page, "cmdDumpData")->isDefault());
        const QStringList names{QStringLiteral("cmdBrowse"), QStringLiteral("cmdDumpData"),
                                QStringLiteral("cmdHelp"),   QStringLiteral("cmdPrevious"),
                                QStringLiteral("cmdNext"),   QStringLiteral("cmdExit")};
        const QStringList captions{QStringLiteral("&Browse"), QStringLiteral("&Export Data"),
                                   QStringLiteral("Help"),    QStringLiteral("<< Previous"),
                                   QStringLiteral("Next >>"), QStringLiteral("Exit")};
        for (qsizetype i = 0; i < names.size(); ++i)
            QCOMPARE(page.findChild<QPushButton*>(names[i])->text(), captions[i]);
        QVERIFY(!child(page, "cmdNext")->isEnabled());
    }

    void browse()
    {
        TestEnvironment env;
        env.database().addCos(QStringLiteral("C1"), QStringLiteral("Default"));
        Wizard wizard(*env.app);
        frmDumpInfo& page = wizard.exportPage();
        QStringList asked;
        QString answer = QStringLiteral("/data/exports/lists.csv");
        page.setSaveFileChooser(
            [&](QWidget*, const QString& title, const QString& folder, const QString& filter) {
                asked << title << folder << filter;
                return answer;
            });
        QLineEdit* path = child<QLineEdit>(page, "txtSavePath");
        child(page, "cmdBrowse")->click();
        QCOMPARE(asked, QStringList({QStringLiteral("Select CSV File Location"), QString(),
                                     QStringLiteral("*.csv")}));
        QCOMPARE(path->text(), answer);

        asked.clear();
        answer.clear(); // cancelled
        child(page, "cmdBrowse")->click();
        QCOMPARE(asked[1], QStringLiteral("/data/exports")); // the folder of the path in the box
        QCOMPARE(path->text(), QStringLiteral("/data/exports/lists.csv"));
    }

    void tooShortPathByEnter()
    {
        TestEnvironment env;
        env.database().addCos(QStringLiteral("C1"), QStringLiteral("Default"));
        Wizard wizard(*env.app);
        frmDumpInfo& page = wizard.exportPage();
        QLineEdit* path = child<QLineEdit>(page, "txtSavePath");
        QTest::keyClicks(path, QStringLiteral(" ab "));
        QTest::keyClick(path, Qt::Key_Return); // the default button
        QCOMPARE(env.ui.texts(), QStringList{QStringLiteral(
                                     "You must first select a CSV file to save the output to.")});
        QVERIFY(!QDir(env.app->log.logFolder()).exists());
    }

    void previousUnloadsThePage()
    {
        TestEnvironment env;
        env.database().addCos(QStringLiteral("C1"), QStringLiteral("Default"));
        Wizard wizard(*env.app);
        wizard.selectionPage();
        wizard.goToExport(wizard.selectionPage());
        QPointer<frmDumpInfo> page = &wizard.exportPage();
        child<QLineEdit>(*page, "txtSavePath")->setText(QStringLiteral("/tmp/somewhere.csv"));
        page->move(40, 30);
        child(*page, "cmdPrevious")->click();
        QVERIFY(wizard.selectionPage().isVisible());
        QCOMPARE(wizard.selectionPage().pos(), QPoint(40, 30));
        QTRY_VERIFY(page.isNull());
        QVERIFY(!wizard.hasExportPage());
        wizard.goToExport(wizard.selectionPage());
        QVERIFY(child<QLineEdit>(wizard.exportPage(), "txtSavePath")->text().isEmpty());
    }

    // An export through the three pages, with a CSV reader that nobody here wrote reading it back.
    void journeyThroughThreePages()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        Wizard wizard(*env.app);
        const QString out = env.path(QStringLiteral("private lists.csv"));
        frmDumpInfo* page = exportThroughThePages(wizard, out);
        QVERIFY(page);
        QVERIFY(!wizard.selectionPage().isVisible());

        QCOMPARE(
            readFile(out),
            (fixtureCsvLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        QCOMPARE(readCsvWithPython(out), fixtureCsvRecords());
        const QStringList log = logBody(env.app->log.strLogFileName());
        QCOMPARE(log.first(), QStringLiteral("[1 of 4] Smith, John"));
        QCOMPARE(log.last(), QStringLiteral("    No private lists configured for this subscriber"));
        QCOMPARE(child<QLabel>(*page, "lblProcessingList")->text(),
                 QStringLiteral("[4 of 4] No Ext"));
        QCOMPARE(child<QProgressBar>(*page, "ProgressBar")->value(), 4);
        QCOMPARE(env.ui.texts(),
                 QStringList({QStringLiteral("Export complete -  0 errors and  0 warnings "
                                             "encountered.  View log file now?"),
                              QStringLiteral("View CSV output file now?")}));
    }

    // During a run a second click and Previous are refused; the run ends as one run.
    void runRefusesSecondRunAndPrevious()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        ClickingUserInterface ui;
        AppContext app(ui, env.shell, *env.registry, ProgramInfo::inFolder(env.folder()),
                       env.clock);
        app.strConnectionString = env.connectionString();
        Wizard wizard(app);
        wizard.selectionPage();
        QTest::mouseClick(child(wizard.selectionPage(), "cmdView"), Qt::LeftButton);
        wizard.goToExport(wizard.selectionPage());
        frmDumpInfo* page = &wizard.exportPage();
        ui.onYield = [&] {
            QTest::mouseClick(child(*page, "cmdDumpData"), Qt::LeftButton);
            QTest::mouseClick(child(*page, "cmdPrevious"), Qt::LeftButton);
        };
        child<QLineEdit>(*page, "txtSavePath")->setText(env.path(QStringLiteral("out.csv")));
        QTest::mouseClick(child(*page, "cmdDumpData"), Qt::LeftButton);
        QVERIFY(!ui.onYield); // the clicks were made
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(wizard.hasExportPage());
        QVERIFY(page->isVisible());
        QCOMPARE(ui.texts().size(), 2); // one summary, one CSV question
        QCOMPARE(QDir(app.log.logFolder()).entryList(QDir::Files).size(), 1);
        QCOMPARE(
            readFile(env.path(QStringLiteral("out.csv"))),
            (fixtureCsvLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        // Once the run is over, Previous works again.
        QTest::mouseClick(child(*page, "cmdPrevious"), Qt::LeftButton);
        QVERIFY(!wizard.hasExportPage());
    }

    // The same selection through the wizard and through tarnwick-export gives
    // the same bytes, and the same log but for its time stamp.
    void wizardAndCommandWriteTheSameFiles()
    {
        TestEnvironment env;
        demo::GeneratorOptions options;
        options.subscribers = 60;
        demo::generateOrganisation(env.database(), options);
        Wizard wizard(*env.app);
        const QString byWizard = env.path(QStringLiteral("wizard.csv"));
        QVERIFY(exportThroughThePages(wizard, byWizard));
        const QString wizardLog = env.app->log.strLogFileName();

        const QString byCommand = env.path(QStringLiteral("command.csv"));
        const CommandResult result = runExportBinary(
            env.folder(), {QStringLiteral("--all"), QStringLiteral("--output"), byCommand},
            TestEnvironment::registryText());
        QCOMPARE(result.exitCode, 0);
        QVERIFY(!result.logPath.isEmpty() && result.logPath != wizardLog);

        const QByteArray csv = readFile(byWizard);
        QVERIFY(csv.size() > 1000);
        QCOMPARE(readFile(byCommand), csv);
        QCOMPARE(withoutStartTime(crlfLines(result.logPath)),
                 withoutStartTime(crlfLines(wizardLog)));
        QVERIFY(crlfLines(wizardLog).contains(QStringLiteral("Running tarnwick version: 1.0.1")));

        // Every record reads back whole, awkward names and all.
        const QList<QStringList> records = readCsvWithPython(byCommand);
        QVERIFY(records.size() > 20);
        for (const QStringList& record : records)
            QCOMPARE(record.size(), 9);
    }
};

QTEST_MAIN(TestFrmDumpInfo)
#include "tst_frmdumpinfo.moc"
