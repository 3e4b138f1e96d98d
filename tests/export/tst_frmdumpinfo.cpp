#include "export/frmDumpInfo.h"

#include "ExportTestSupport.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "select/frmChooseSubscribers.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;
using namespace Qt::StringLiterals;

namespace {

template <typename T = QPushButton> T* child(QWidget& page, const char* name)
{
    return page.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class TestFrmDumpInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pageBrowseAndEnter()
    {
        TestEnvironment env;
        env.database().addCos(u"C1"_s, u"Default"_s);
        Wizard wizard(*env.app);
        frmDumpInfo& page = wizard.exportPage();
        QCOMPARE(page.windowTitle(), u"Tarnwick"_s);
        QCOMPARE(page.size(), QSize(760, 515));
        const QList<std::pair<const char*, QString>> texts{
            {"Label1", u"Export Private List Data"_s},
            {"Label2", u"Chose a CSV file to write the private distribution list information for "
                       "the user's you've selected and press the \"Export Data\" button to "
                       "proceed."_s},
            {"framePath", u"Write membership data to:"_s},
            {"cmdBrowse", u"&Browse"_s},
            {"cmdDumpData", u"&Export Data"_s},
            {"frameProgress", u"Progress"_s},
            {"lblListProgress", u"Processing Subscriber:"_s},
            {"lblProcessingList", u"0"_s},
            {"cmdHelp", u"Help"_s},
            {"cmdPrevious", u"<< Previous"_s},
            {"cmdNext", u"Next >>"_s},
            {"cmdExit", u"Exit"_s}};
        for (const auto& [name, text] : texts) {
            const QObject* control = child<QObject>(page, name);
            QVERIFY2(control, name);
            QCOMPARE(
                control->property(control->inherits("QGroupBox") ? "title" : "text").toString(),
                text);
        }
        QVERIFY(child<QProgressBar>(page, "ProgressBar") && !child(page, "cmdNext")->isEnabled());

        // Browse starts in the folder of the path in the box; a cancel leaves the box alone.
        QStringList asked;
        QString answer = u"/data/exports/lists.csv"_s;
        page.setSaveFileChooser(
            [&](QWidget*, const QString& title, const QString& folder, const QString& filter) {
                asked << title << folder << filter;
                return std::exchange(answer, QString());
            });
        child(page, "cmdBrowse")->click();
        child(page, "cmdBrowse")->click();
        QCOMPARE(asked,
                 QStringList({u"Select CSV File Location"_s, QString(), u"*.csv"_s,
                              u"Select CSV File Location"_s, u"/data/exports"_s, u"*.csv"_s}));
        QLineEdit* path = child<QLineEdit>(page, "txtSavePath");
        QCOMPARE(path->text(), u"/data/exports/lists.csv"_s);

        // Enter is a click of the default button; a path too short to be one is refused.
        QVERIFY(child(page, "cmdDumpData")->isDefault());
        path->setText(u"  ab  "_s);
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(env.ui.shown.size(), 1);
        QCOMPARE(env.ui.shown[0].text,
                 u"You must first select a CSV file to save the output to."_s);
        QCOMPARE(env.ui.shown[0].title, u"Tarnwick"_s);
        QCOMPARE(env.ui.shown[0].kind, RecordingUserInterface::Shown::Message);
        QVERIFY(!QDir(env.app->log.logFolder()).exists()); // no log either
    }

    // An administrator's export through the three pages; then tarnwick-export,
    // given the same selection, writes the same bytes and the same log but for
    // its time stamp.
    void wizardJourneyAndCommandAgree()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        Wizard wizard(*env.app);
        wizard.start();
        QTest::mouseClick(child(wizard.welcomePage(), "cmdNext"), Qt::LeftButton);
        frmChooseSubscribers& select = wizard.selectionPage();
        QVERIFY(select.isVisible());
        QCOMPARE(child<QComboBox>(select, "cmbSubscriberSelectType")->currentText(),
                 u"All Subscribers"_s);
        QTest::mouseClick(child(select, "cmdView"), Qt::LeftButton);
        QTest::mouseClick(child(select, "cmdNext"), Qt::LeftButton);
        QVERIFY(wizard.hasExportPage() && !select.isVisible());
        frmDumpInfo& page = wizard.exportPage();
        const QString byWizard = env.path(u"private lists.csv"_s);
        QTest::keyClicks(child<QLineEdit>(page, "txtSavePath"), byWizard);
        QTest::mouseClick(child(page, "cmdDumpData"), Qt::LeftButton);
        QCOMPARE(readFile(byWizard), crlfFile(fixtureCsvLines()));
        QCOMPARE(child<QLabel>(page, "lblProcessingList")->text(), u"[4 of 4] No Ext"_s);
        QCOMPARE(child<QProgressBar>(page, "ProgressBar")->value(), 4);
        QCOMPARE(env.ui.texts(),
                 QStringList({ExportRun::completionMessage(0, 0), u"View CSV output file now?"_s}));

        const QString byCommand = env.path(u"command.csv"_s);
        const CommandResult result = runExportBinary(env.folder(), {u"--all"_s, u"-o"_s, byCommand},
                                                     TestEnvironment::registryText());
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(readFile(byCommand), readFile(byWizard));
        const auto withoutStartTime = [](const QString& logPath) {
            QStringList lines = QString::fromUtf8(readFile(logPath)).split(u"\r\n"_s);
            lines.removeIf(
                [](const QString& line) { return line.startsWith(u"Starting process at:"_s); });
            return lines;
        };
        const QString wizardLog = env.app->log.strLogFileName();
        QVERIFY(result.logPath != wizardLog);
        QVERIFY(withoutStartTime(wizardLog).contains(u"Running tarnwick version: 1.0.1"_s));
        QCOMPARE(withoutStartTime(result.logPath), withoutStartTime(wizardLog));
    }

    // During a run a second click and Previous are refused; afterwards Previous
    // unloads the page, handing on its position, and a new page starts empty.
    void runRefusesSecondRunAndPrevious()
    {
        TestEnvironment env;
        buildWalkFixture(env.database());
        ClickingUserInterface ui;
        AppContext app(ui, env.shell, *env.registry, ProgramInfo::inFolder(env.folder()),
                       env.clock);
        app.strConnectionString = env.connectionString();
        Wizard wizard(app);
        QTest::mouseClick(child(wizard.selectionPage(), "cmdView"), Qt::LeftButton);
        wizard.goToExport(wizard.selectionPage());
        QPointer<frmDumpInfo> page = &wizard.exportPage();
        ui.onYield = [&] {
            QTest::mouseClick(child(*page, "cmdDumpData"), Qt::LeftButton);
            QTest::mouseClick(child(*page, "cmdPrevious"), Qt::LeftButton);
        };
        child<QLineEdit>(*page, "txtSavePath")->setText(env.path(u"out.csv"_s));
        QTest::mouseClick(child(*page, "cmdDumpData"), Qt::LeftButton);
        QVERIFY(!ui.onYield); // the clicks were made
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(wizard.hasExportPage() && page->isVisible());
        QCOMPARE(ui.texts().size(), 2); // one summary, one CSV question
        QCOMPARE(QDir(app.log.logFolder()).entryList(QDir::Files).size(), 1);
        QCOMPARE(readFile(env.path(u"out.csv"_s)), crlfFile(fixtureCsvLines()));

        page->move(40, 30);
        QTest::mouseClick(child(*page, "cmdPrevious"), Qt::LeftButton);
        QVERIFY(wizard.selectionPage().isVisible());
        QCOMPARE(wizard.selectionPage().pos(), QPoint(40, 30));
        QTRY_VERIFY(page.isNull());
        wizard.goToExport(wizard.selectionPage());
        QVERIFY(child<QLineEdit>(wizard.exportPage(), "txtSavePath")->text().isEmpty());
    }
};

QTEST_MAIN(TestFrmDumpInfo)
#include "tst_frmdumpinfo.moc"
