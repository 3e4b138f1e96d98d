#include "export/frmDumpInfo.h"

#include "program/AppContext.h"
#include "select/frmChooseSubscribers.h"
#include "widgets/WindowLayout.h"
#include "widgets/WizardNavigation.h"

#include <QCheckBox>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

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
    layout::makeResizable(this, QSize(layout::px(11400), layout::px(7725)));
    using layout::Left, layout::Right, layout::Top, layout::Bottom;

    layout::addHeading(this, kHeading);

    layout::anchor(layout::addTextBlock(this, "Label2", kInstructions, twipsRect(150, 840, 10965, 615)),
                   Left | Right | Top);

    auto* pathFrame = new QGroupBox(QStringLiteral("Write membership data to:"), this);
    pathFrame->setObjectName(QStringLiteral("framePath"));
    pathFrame->setGeometry(twipsRect(150, 1620, 11100, 975));
    layout::anchor(pathFrame, Left | Right | Top);
    m_txtSavePath = new QLineEdit(pathFrame);
    m_txtSavePath->setObjectName(QStringLiteral("txtSavePath"));
    m_txtSavePath->setGeometry(twipsRect(180, 420, 9255, 375));
    QPushButton* browse = layout::addButton(pathFrame, "cmdBrowse", QStringLiteral("&Browse"),
                                     twipsRect(9600, 390, 1335, 435));
    layout::anchor(m_txtSavePath, Left | Right | Top);
    layout::anchor(browse, Right | Top);

    QPushButton* dumpData = layout::addButton(this, "cmdDumpData", QStringLiteral("&Export Data"),
                                       twipsRect(4620, 2820, 2160, 495));
    dumpData->setDefault(true);
    layout::anchor(dumpData, Top); // stays centred

    auto* progressFrame = new QGroupBox(QStringLiteral("Progress"), this);
    progressFrame->setObjectName(QStringLiteral("frameProgress"));
    progressFrame->setGeometry(twipsRect(150, 3600, 11100, 1575));
    layout::anchor(progressFrame, Left | Right | Top);
    auto* listProgress = new QLabel(QStringLiteral("Processing Subscriber:"), progressFrame);
    listProgress->setObjectName(QStringLiteral("lblListProgress"));
    listProgress->setGeometry(twipsRect(180, 420, 2055, 300));
    m_lblProcessingList = new QLabel(QStringLiteral("0"), progressFrame);
    m_lblProcessingList->setObjectName(QStringLiteral("lblProcessingList"));
    m_lblProcessingList->setTextFormat(Qt::PlainText);
    m_lblProcessingList->setGeometry(twipsRect(2280, 420, 8640, 300));
    // A long name is cut with an ellipsis at the frame, never mid-letter.
    m_lblProcessingList->installEventFilter(this);
    layout::anchor(m_lblProcessingList, Left | Right | Top);
    m_progressBar = new QProgressBar(progressFrame);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setGeometry(twipsRect(180, 900, 10740, 375));
    layout::anchor(m_progressBar, Left | Right | Top);

    // Where this run's log will go: beside the program, or the per-user folder.
    auto* logFolder = new QLabel(QStringLiteral("Log folder: ") + m_app.log.logFolder(), this);
    logFolder->setObjectName(QStringLiteral("lblLogFolder"));
    logFolder->setTextFormat(Qt::PlainText);
    logFolder->setGeometry(twipsRect(150, 5340, 11100, 300));
    layout::anchor(logFolder, Left | Right | Top);

    // Rows of export options, one under the other below the log folder; the
    // room above the buttons holds four rows of one line each.
    m_options = new QWidget(this);
    m_options->setObjectName(QStringLiteral("optionRows"));
    m_options->setGeometry(twipsRect(150, 5700, 11100, 1380));
    auto* rows = new QVBoxLayout(m_options);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addStretch();
    layout::anchor(m_options, Left | Right | Top);

    m_chkFormulaSafe = new QCheckBox(QStringLiteral("&Formula-safe for spreadsheets"));
    m_chkFormulaSafe->setObjectName(QStringLiteral("chkFormulaSafe"));
    m_chkFormulaSafe->setToolTip(QStringLiteral("Names and aliases that begin with =, +, -, @, tab or CR are written "
                                                "after a ' so that a spreadsheet shows them as text."));
    m_chkFormulaSafe->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed); // a click beside its text is no click
    addOptionRow(m_chkFormulaSafe);

    // Optional: an earlier export, to list what changed since in a report beside the new file.
    auto* compareRow = new QWidget;
    compareRow->setObjectName(QStringLiteral("framePrevious"));
    auto* compareLayout = new QHBoxLayout(compareRow);
    compareLayout->setContentsMargins(0, 0, 0, 0);
    auto* compareLabel = new QLabel(QStringLiteral("&Compare with a previous export (optional):"));
    m_txtPreviousPath = new QLineEdit;
    m_txtPreviousPath->setObjectName(QStringLiteral("txtPreviousPath"));
    compareLabel->setBuddy(m_txtPreviousPath);
    auto* browsePrevious = new QPushButton(QStringLiteral("B&rowse"));
    browsePrevious->setObjectName(QStringLiteral("cmdBrowsePrevious"));
    compareLayout->addWidget(compareLabel);
    compareLayout->addWidget(m_txtPreviousPath, 1);
    compareLayout->addWidget(browsePrevious);
    addOptionRow(compareRow);

    const auto [help, previous, next, exit] = layout::addWizardButtons(this, 7215, 60, QStringLiteral("Help"));
    next->setEnabled(false); // the last page
    for (QWidget* button : {help, previous, next})
        layout::anchor(button, Left | Bottom);
    layout::anchor(exit, Right | Bottom);
    // What a click during a run would only be refused by; Exit and Help stay.
    m_idleOnly = {m_txtSavePath, browse, dumpData, previous, m_chkFormulaSafe, m_txtPreviousPath, browsePrevious};

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

void frmDumpInfo::addOptionRow(QWidget* row)
{
    auto* rows = static_cast<QVBoxLayout*>(m_options->layout());
    rows->insertWidget(rows->count() - 1, row);
}

void frmDumpInfo::cmdDumpData_Click()
{
    if (m_run.isRunning())
        return;
    // Greying the control that has the keyboard moves it on; it comes back after the run.
    const QPointer<QWidget> focused = QApplication::focusWidget();
    QList<QWidget*> disabled;
    for (QWidget* control : std::as_const(m_idleOnly)) {
        if (control->isEnabled()) {
            control->setEnabled(false);
            disabled.append(control);
        }
    }
    m_started.start();
    m_progressBar->setTextVisible(false);
    m_run.setPreviousExport(m_txtPreviousPath->text().trimmed());
    m_run.setFormulaSafe(m_chkFormulaSafe->isChecked());
    m_run.run(m_txtSavePath->text());
    for (QWidget* control : std::as_const(disabled))
        control->setEnabled(true);
    if (focused && focused->isEnabled())
        focused->setFocus();
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
    const QString estimate = ExportRun::progressText(value, m_progressBar->maximum(), m_started.elapsed());
    m_progressBar->setTextVisible(!estimate.isEmpty());
    m_progressBar->setFormat(estimate);
}

void frmDumpInfo::setCaption(const QString& caption)
{
    m_caption = caption;
    showCaption();
    m_lblProcessingList->repaint();
}

void frmDumpInfo::showCaption()
{
    m_lblProcessingList->setText(
        m_lblProcessingList->fontMetrics().elidedText(m_caption, Qt::ElideRight, m_lblProcessingList->width()));
    m_lblProcessingList->setToolTip(m_caption);
}

bool frmDumpInfo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lblProcessingList && event->type() == QEvent::Resize && !m_caption.isEmpty())
        showCaption();
    return QWidget::eventFilter(watched, event);
}

} // namespace tarnwick
