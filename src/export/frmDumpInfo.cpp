#include "export/frmDumpInfo.h"

#include "program/AppContext.h"
#include "select/frmChooseSubscribers.h"
#include "widgets/WindowLayout.h"
#include "widgets/WizardNavigation.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace tarnwick {

using layout::twipsRect;

const QString frmDumpInfo::kHeading = QStringLiteral("Export Private List Data");
const QString frmDumpInfo::kInstructions =
    QStringLiteral("Chose a CSV file to write the private distribution list information for the "
                   "user's you've selected and "
                   "press the \"Export Data\" button to proceed.");

namespace {

// The folder part of a typed path, either separator; none gives an empty folder.
QString folderPart(const QString& path)
{
    const qsizetype cut =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return cut < 0 ? QString() : path.left(cut);
}

} // namespace

frmDumpInfo::frmDumpInfo(AppContext& app, WizardNavigation& wizard, QWidget* parent)
    : QWidget(parent), m_app(app), m_wizard(wizard), m_run(app, wizard.chosenSubscribers(), *this),
      m_chooseSaveFile([](QWidget* owner, const QString& title, const QString& folder, const QString& filter) {
          return QFileDialog::getSaveFileName(owner, title, folder, filter);
      }),
      m_chooseOpenFile([](QWidget* owner, const QString& title, const QString& folder, const QString& filter) {
          return QFileDialog::getOpenFileName(owner, title, folder, filter);
      })
{
    setObjectName(QStringLiteral("frmDumpInfo"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setFixedSize(layout::px(11400), layout::px(7725));

    layout::addHeading(this, kHeading);

    layout::addTextBlock(this, "Label2", kInstructions, twipsRect(150, 840, 10965, 615));

    auto* pathFrame = new QGroupBox(QStringLiteral("Write membership data to:"), this);
    pathFrame->setObjectName(QStringLiteral("framePath"));
    pathFrame->setGeometry(twipsRect(150, 1620, 11100, 975));
    m_txtSavePath = new QLineEdit(pathFrame);
    m_txtSavePath->setObjectName(QStringLiteral("txtSavePath"));
    m_txtSavePath->setGeometry(twipsRect(180, 420, 9255, 375));
    QPushButton* browse = layout::addButton(pathFrame, "cmdBrowse", QStringLiteral("&Browse"),
                                     twipsRect(9600, 390, 1335, 435));

    // Beside the button it changes (and before it in the Tab order), in room the page had spare.
    m_chkFormulaSafe = new QCheckBox(QStringLiteral("&Formula-safe for spreadsheets"), this);
    m_chkFormulaSafe->setObjectName(QStringLiteral("chkFormulaSafe"));
    m_chkFormulaSafe->setToolTip(QStringLiteral("Names and aliases that begin with =, +, -, @, tab or CR are written "
                                                "after a ' so that a spreadsheet shows them as text."));
    m_chkFormulaSafe->setGeometry(twipsRect(330, 2880, 4110, 375));

    QPushButton* dumpData = layout::addButton(this, "cmdDumpData", QStringLiteral("&Export Data"),
                                       twipsRect(4620, 2820, 2160, 495));
    dumpData->setDefault(true);

    auto* progressFrame = new QGroupBox(QStringLiteral("Progress"), this);
    progressFrame->setObjectName(QStringLiteral("frameProgress"));
    progressFrame->setGeometry(twipsRect(150, 3600, 11100, 1575));
    auto* listProgress = new QLabel(QStringLiteral("Processing Subscriber:"), progressFrame);
    listProgress->setObjectName(QStringLiteral("lblListProgress"));
    listProgress->setGeometry(twipsRect(180, 420, 2055, 300));
    m_lblProcessingList = new QLabel(QStringLiteral("0"), progressFrame);
    m_lblProcessingList->setObjectName(QStringLiteral("lblProcessingList"));
    m_lblProcessingList->setTextFormat(Qt::PlainText);
    m_lblProcessingList->setGeometry(twipsRect(2280, 420, 8640, 300));
    m_progressBar = new QProgressBar(progressFrame);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setGeometry(twipsRect(180, 900, 10740, 375));

    // Where this run's log will go: beside the program, or the per-user folder.
    auto* logFolder = new QLabel(QStringLiteral("Log folder: ") + m_app.log.logFolder(), this);
    logFolder->setObjectName(QStringLiteral("lblLogFolder"));
    logFolder->setTextFormat(Qt::PlainText);
    logFolder->setGeometry(twipsRect(150, 5340, 11100, 300));

    // Optional: an earlier export, to list what changed since in a report beside the new file.
    auto* compareFrame = new QGroupBox(QStringLiteral("Compare with a previous export (optional):"), this);
    compareFrame->setObjectName(QStringLiteral("framePrevious"));
    compareFrame->setGeometry(twipsRect(150, 5760, 11100, 975));
    m_txtPreviousPath = new QLineEdit(compareFrame);
    m_txtPreviousPath->setObjectName(QStringLiteral("txtPreviousPath"));
    m_txtPreviousPath->setGeometry(twipsRect(180, 420, 9255, 375));
    QPushButton* browsePrevious = layout::addButton(compareFrame, "cmdBrowsePrevious", QStringLiteral("B&rowse"),
                                                    twipsRect(9600, 390, 1335, 435));

    const auto [help, previous, next, exit] = layout::addWizardButtons(this, 7215, 60, QStringLiteral("Help"));
    next->setEnabled(false); // the last page

    connect(browse, &QPushButton::clicked, this, &frmDumpInfo::cmdBrowse_Click);
    connect(browsePrevious, &QPushButton::clicked, this, &frmDumpInfo::cmdBrowsePrevious_Click);
    connect(dumpData, &QPushButton::clicked, this, &frmDumpInfo::cmdDumpData_Click);
    // Enter starts the export, as the page's default button does in a dialog.
    connect(m_txtSavePath, &QLineEdit::returnPressed, this, &frmDumpInfo::cmdDumpData_Click);
    connect(previous, &QPushButton::clicked, this, &frmDumpInfo::cmdPrevious_Click);
    connect(help, &QPushButton::clicked, this, [this] { m_app.services.LaunchHelp(); });
    connect(exit, &QPushButton::clicked, this, &frmDumpInfo::cmdExit_Click);
}

frmDumpInfo::~frmDumpInfo() = default;

void frmDumpInfo::cmdBrowse_Click()
{
    // The folder of the path in the box, else where the last Browse of this run ended.
    QString folder = folderPart(m_txtSavePath->text());
    if (folder.isEmpty())
        folder = m_wizard.browseFolder();
    const QString chosen =
        m_chooseSaveFile(this, QStringLiteral("Select CSV File Location"), folder, QStringLiteral("*.csv"));
    if (!chosen.isEmpty()) {
        m_wizard.rememberBrowsed(chosen);
        m_txtSavePath->setText(chosen);
    }
}

void frmDumpInfo::cmdBrowsePrevious_Click()
{
    QString folder = folderPart(m_txtPreviousPath->text());
    if (folder.isEmpty())
        folder = folderPart(m_txtSavePath->text());
    const QString chosen =
        m_chooseOpenFile(this, QStringLiteral("Select Previous Export"), folder, QStringLiteral("*.csv"));
    if (!chosen.isEmpty())
        m_txtPreviousPath->setText(chosen);
}

void frmDumpInfo::cmdDumpData_Click()
{
    if (!m_run.isRunning()) { // a click during a run is refused by the run; its settings stay
        m_run.setPreviousExport(m_txtPreviousPath->text().trimmed());
        m_run.setFormulaSafe(m_chkFormulaSafe->isChecked());
    }
    m_run.run(m_txtSavePath->text());
    if (m_exitAfterRun)
        m_app.services.ExitApplication();
}

void frmDumpInfo::cmdExit_Click()
{
    // During a run the program ends once the run has dropped its unfinished
    // file and logged how far it came; the run returns to the click above.
    if (m_run.isRunning()) {
        m_exitAfterRun = true;
        m_run.interrupt();
        return;
    }
    m_app.services.ExitApplication();
}

void frmDumpInfo::cmdPrevious_Click()
{
    // The walk still reads this page's state; leaving waits for its end.
    if (m_run.isRunning())
        return;
    m_wizard.backFromExport();
}

void frmDumpInfo::closeEvent(QCloseEvent* event)
{
    event->accept();
    cmdExit_Click();
}

void frmDumpInfo::setRange(int minimum, int maximum)
{
    // An empty range would make Qt's bar spin as if busy.
    m_progressBar->setRange(minimum, maximum > minimum ? maximum : minimum + 1);
}

void frmDumpInfo::setValue(int value)
{
    m_progressBar->setValue(value);
}

void frmDumpInfo::setCaption(const QString& caption)
{
    m_lblProcessingList->setText(caption);
    m_lblProcessingList->repaint();
}

} // namespace tarnwick
