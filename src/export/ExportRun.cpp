#include "export/ExportRun.h"

#include "app/AppContext.h"
#include "app/StepRunner.h"
#include "app/UserInterface.h"
#include "platform/Shell.h"
#include "select/SelectionGrid.h"

#include <QFile>
#include <QFileInfo>

namespace tarnwick {

const QString ExportRun::kNoPathMessage =
    QStringLiteral("You must first select a CSV file to save the output to.");
const QString ExportRun::kViewCsvQuestion = QStringLiteral("View CSV output file now?");

namespace {

const QString kForm = QStringLiteral("Form frmDumpInfo");

// A count in the summary keeps the blank where a sign would stand.
QString withSignBlank(int number)
{
    return QLatin1Char(' ') + QString::number(number);
}

// The old output goes without a question, also when it is read-only.
void removeExistingFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() && !info.isSymLink())
        return;
    QFile file(path);
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    if (!file.remove())
        throw Failure(ErrorNumber::PermissionDenied, file.errorString());
}

// Clears the running mark however the run ends.
class RunningMark
{
public:
    explicit RunningMark(bool& running) : m_running(running) { m_running = true; }
    ~RunningMark() { m_running = false; }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    bool& m_running;
};

} // namespace

QString ExportRun::completionMessage(int errors, int warnings)
{
    return QStringLiteral("Export complete - ") + withSignBlank(errors) +
           QStringLiteral(" errors and ") + withSignBlank(warnings) +
           QStringLiteral(" warnings encountered.  View log file now?");
}

ExportRun::ExportRun(AppContext& app, const SelectionGrid& grid, ExportProgress& progress)
    : m_app(app), m_grid(grid), m_progress(progress), m_walk(app, m_tsCSVFile)
{
}

ExportRun::Result ExportRun::run(const QString& txtSavePath)
{
    // A click that arrives while a run yields must not start a run inside it.
    if (m_running)
        return Result::AlreadyRunning;
    if (txtSavePath.trimmed().size() < 3) {
        m_app.ui.showMessage(kNoPathMessage, kAppTitle);
        return Result::NoPath;
    }
    const RunningMark mark(m_running);

    const auto report = [this](const Failure& f) {
        m_app.services.ShowMessage(QStringLiteral("Error in cmdDumpData_Click:") + f.description());
    };
    StepRunner steps(report);
    steps.run([&] { m_app.log.OpenLogFile(m_app.log.GenerateNewLogFileName(), false); });
    steps.run([&] { removeExistingFile(txtSavePath); });

    // An output file that cannot be made is told once and logged, so the
    // summary counts it; a walk would only fail again on every row.
    StepRunner creating([&](const Failure& f) {
        report(f);
        m_app.log.WriteToLog(ErrorText::logLine(f, QStringLiteral("cmdDumpData_Click"), kForm));
    });
    if (creating.run([&] { m_tsCSVFile.open(txtSavePath); })) {
        steps.run([&] { m_tsCSVFile.writeLine(MembershipCsv::kHeader); });
        ExportData();
    }
    m_app.log.CloseLogFile();

    if (m_app.ui.askYesNo(completionMessage(m_app.log.intErrorCount(), m_app.log.intWarningCount()),
                          QStringLiteral("Export Complete")))
        m_app.services.ViewInTextEditor(m_app.log.strLogFileName());
    if (m_app.ui.askYesNo(kViewCsvQuestion, kAppTitle))
        m_app.services.ViewInTextEditor(txtSavePath);
    return Result::Completed;
}

void ExportRun::ExportData()
{
    StepRunner steps([this](const Failure& f) {
        m_app.log.WriteToLog(QStringLiteral("Error in ExportData on frmDumpInfo:") +
                             f.description());
    });
    const int last = m_grid.Rows() - 1;
    m_progress.setRange(0, last);
    m_progress.setValue(0);
    const int selected = m_grid.ColIndex(QStringLiteral("Selected"));
    const int objectId = m_grid.ColIndex(QStringLiteral("ObjectID"));
    const int alias = m_grid.ColIndex(QStringLiteral("Alias"));
    const int displayName = m_grid.ColIndex(QStringLiteral("Displayname"));
    const int extension = m_grid.ColIndex(QStringLiteral("Extension"));

    for (int i = 1; i <= last; ++i) {
        m_progress.setValue(i);
        const QString caption = QLatin1Char('[') + QString::number(i) + QStringLiteral(" of ") +
                                QString::number(last) + QStringLiteral("] ") +
                                m_grid.TextMatrix(i, displayName);
        m_progress.setCaption(caption);
        m_app.log.WriteToLog(caption);
        m_app.ui.yield();
        if (m_grid.CellChecked(i, selected) == SelectionGrid::kChecked)
            m_walk.ProcessPrivateDLMembers(
                m_grid.TextMatrix(i, objectId), m_grid.TextMatrix(i, alias),
                m_grid.TextMatrix(i, displayName), m_grid.TextMatrix(i, extension));
    }
    steps.run([&] { m_tsCSVFile.close(); });
}

} // namespace tarnwick
