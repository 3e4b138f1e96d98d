#include "ExportTestSupport.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "select/frmChooseSubscribers.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarnwick;
using namespace tarnwick::test;
using namespace Qt::StringLiterals;

template <typename T = QPushButton> static T* child(QWidget& page, const char* name)
{
    return page.findChild<T*>(QString::fromLatin1(name));
}

class TestFrmDumpInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pageBrowseAndEnter()
    {
        ExportFixture d;
        Wizard wizard(d.app);
        frmDumpInfo& page = wizard.exportPage();
        QCOMPARE(page.windowTitle(), u"Tarnwick"_s);
        QCOMPARE(page.size(), QSize(760, 515));
        QCOMPARE(child<QLabel>(page, "Label2")->text(),
                 u"Chose a CSV file to write the private distribution list information for the "
                 "user's you've selected and press the \"Export Data\" button to proceed."_s);
        const QString texts = "Label1=Export Private List Data|framePath=Write membership data to:|"
                              "cmdBrowse=&Browse|cmdDumpData=&Export Data|frameProgress=Progress|"
                              "lblListProgress=Processing Subscriber:|lblProcessingList=0|"
                              "cmdHelp=Help|cmdPrevious=<< Previous|cmdNext=Next >>|cmdExit=Exit";
        for (const QString& pair : texts.split(u'|')) { // object name = text or title
            const QObject* control = page.findChild<QObject*>(pair.section(u'=', 0, 0));
            QVERIFY2(control, qPrintable(pair));
            QCOMPARE(
                control->property(control->inherits("QGroupBox") ? "title" : "text").toString(),
                pair.section(u'=', 1));
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
        QCOMPARE(asked, QStringList({"Select CSV File Location", "", "*.csv",
                                     "Select CSV File Location", "/data/exports", "*.csv"}));
        QLineEdit* path = child<QLineEdit>(page, "txtSavePath");
        QCOMPARE(path->text(), u"/data/exports/lists.csv"_s);

        // Enter is a click of the default button; a path too short to be one is refused.
        QVERIFY(child(page, "cmdDumpData")->isDefault());
        path->setText(u"  ab  "_s);
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(d.ui.shown.size(), 1);
        QCOMPARE(d.ui.shown[0].text, u"You must first select a CSV file to save the output to."_s);
        QCOMPARE(d.ui.shown[0].title, u"Tarnwick"_s);
        QCOMPARE(d.ui.shown[0].kind, RecordingUserInterface::Shown::Message);
        QVERIFY(!QDir(d.app.log.logFolder()).exists()); // no log either
    }

    // An administrator's export through the three pages, clicking Export Data and
    // Previous again during the run (both refused). Then tarnwick-export, given the
    // same selection, writes the same bytes and the same log but for its time
    // stamp. Previous now unloads the page, handing on its position.
    void journey()
    {
        ExportFixture d;
        Wizard wizard(d.app);
        wizard.start();
        QTest::mouseClick(child(wizard.welcomePage(), "cmdNext"), Qt::LeftButton);
        frmChooseSubscribers& select = wizard.selectionPage();
        QVERIFY(select.isVisible() &&
                child<QComboBox>(select, "cmbSubscriberSelectType")->currentText() ==
                    u"All Subscribers"_s);
        QTest::mouseClick(child(select, "cmdView"), Qt::LeftButton);
        QTest::mouseClick(child(select, "cmdNext"), Qt::LeftButton);
        QVERIFY(wizard.hasExportPage() && !select.isVisible());
        QPointer<frmDumpInfo> page = &wizard.exportPage();
        const QString byWizard = d.env.path("private lists.csv");
        QTest::keyClicks(child<QLineEdit>(*page, "txtSavePath"), byWizard);
        d.ui.onYield = [&] {
            QTest::mouseClick(child(*page, "cmdDumpData"), Qt::LeftButton);
            QTest::mouseClick(child(*page, "cmdPrevious"), Qt::LeftButton);
        };
        QTest::mouseClick(child(*page, "cmdDumpData"), Qt::LeftButton);
        QVERIFY(!d.ui.onYield); // the clicks were made
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(wizard.hasExportPage() && page->isVisible() && !select.isVisible());
        QCOMPARE(readFile(byWizard), crlfFile(fixtureCsvLines()));
        QCOMPARE(child<QLabel>(*page, "lblProcessingList")->text(), u"[4 of 4] No Ext"_s);
        QCOMPARE(child<QProgressBar>(*page, "ProgressBar")->value(), 4);
        QCOMPARE(d.ui.texts(),
                 QStringList({ExportRun::completionMessage(0, 0), "View CSV output file now?"}));
        QCOMPARE(QDir(d.app.log.logFolder()).entryList(QDir::Files).size(), 1);

        const QString byCommand = d.env.path("command.csv");
        const CommandResult result = runExportBinary(d.env.folder(), {"--all", "-o", byCommand});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(readFile(byCommand), readFile(byWizard));
        const auto withoutStartTime = [](const QString& logPath) {
            return QString::fromUtf8(readFile(logPath))
                .remove(QRegularExpression("Starting process at:[^\r]*"));
        };
        const QString wizardLog = d.app.log.strLogFileName();
        QVERIFY(result.logPath != wizardLog);
        QVERIFY(withoutStartTime(wizardLog).contains(u"Running tarnwick version: 1.0.1"_s));
        QCOMPARE(withoutStartTime(result.logPath), withoutStartTime(wizardLog));

        page->move(40, 30);
        QTest::mouseClick(child(*page, "cmdPrevious"), Qt::LeftButton);
        QVERIFY(select.isVisible());
        QCOMPARE(select.pos(), QPoint(40, 30));
        QTRY_VERIFY(page.isNull());
        wizard.goToExport(select);
        QVERIFY(child<QLineEdit>(wizard.exportPage(), "txtSavePath")->text().isEmpty());
    }
};

QTEST_MAIN(TestFrmDumpInfo)
#include "tst_frmdumpinfo.moc"
