#include "export/ExportRun.h"

#include "base/ConsistentRead.h"
#include "base/Recordset.h"
#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "program/AppContext.h"
#include "select/SelectionGrid.h"

#include <QFileInfo>

#include <algorithm>

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

QString ExportRun::completionMessage(int errors, int warnings, const QString& changes)
{
    return completionWithoutLog(errors, warnings) + changes + QStringLiteral("  View log file now?");
}

QString ExportRun::completionWithoutLog(int errors, int warnings)
{
    return QStringLiteral("Export complete - ") + withSignBlank(errors) + QStringLiteral(" errors and ") +
           withSignBlank(warnings) + QStringLiteral(" warnings encountered.");
}

QString ExportRun::outputIsLogMessage(const QString& path)
{
    return QStringLiteral("The output file cannot be this run's own log file: ") + path +
           QStringLiteral("\nChoose another file; nothing was written.");
}

QString ExportRun::progressText(int done, int total, qint64 elapsedMs)
{
    if (done < 100 || total <= 0 || done > total)
        return {};
    const int percent = static_cast<int>(qint64(done) * 100 / total);
    const qint64 left = (elapsedMs * (total - done) / done + 500) / 1000; // seconds
    if (done == total)
        return QStringLiteral("100% done");
    QString time;
    if (left < 1)
        time = QStringLiteral("almost done");
    else if (left < 60)
        time = QStringLiteral("about %1 seconds left").arg(std::max<qint64>(5, (left + 4) / 5 * 5));
    else if (left < 90)
        time = QStringLiteral("about a minute left");
    else
        time = QStringLiteral("about %1 minutes left").arg((left + 30) / 60);
    return QStringLiteral("%1% done, %2").arg(percent).arg(time);
}

QString ExportRun::interruptedLine(int done, int total, const QString& path)
{
    return QStringLiteral("(error) Export interrupted after ") + QString::number(done) + QStringLiteral(" of ") +
           QString::number(total) + QStringLiteral(" subscribers; ") + path + QStringLiteral(" was not replaced");
}

QString ExportRun::previousRefusedMessage(const QString& path, const QString& what)
{
    return QStringLiteral("The previous export cannot be compared with: ") + path + QLatin1Char('\n') + what +
           QStringLiteral("\nNothing was written.");
}

QString ExportRun::changesLine(const QString& previous, const ExportComparison::Counts& counts, const QString& report)
{
    return QStringLiteral("Changes since ") + previous + QStringLiteral(": ") + counts.text() +
           QStringLiteral("; listed in ") + report;
}

QString ExportRun::changesSentence(qint64 total, const QString& report)
{
    return QString::number(total) + QStringLiteral(" changes since the previous export, listed in ") + report +
           QLatin1Char('.');
}

QString ExportRun::stoppedLine(const QString& cause, int done, int total, const QString& path)
{
    return QStringLiteral("(error) ") + cause + QStringLiteral("; the export stopped after ") + QString::number(done) +
           QStringLiteral(" of ") + QString::number(total) + QStringLiteral(" subscribers and ") + path +
           QStringLiteral(" was not replaced");
}

void ExportRun::interrupt()
{
    m_interruptRequested = true;
    if (m_running)
        cancelReads();
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
    // A read that runs out of time, is cancelled or finds the database gone ends the run.
    const StoppableReads stoppable;
    m_interruptRequested = m_interrupted = false;
    m_stopLine.clear();
    m_rowsDone = 0;
    m_rowsTotal = m_grid.Rows() - 1;
    m_changes.reset();
    m_changesReport.clear();

    // The earlier export is read whole before anything is written: it may be
    // the very file this run replaces, and one that cannot be read stops the run.
    const QString previousPath = m_previousPath; // as it was when the run began
    std::optional<ExportComparison> comparison;
    if (!previousPath.isEmpty()) {
        comparison.emplace();
        const QString wrong = comparison->readPrevious(previousPath);
        if (!wrong.isEmpty()) {
            m_app.ui.showMessage(previousRefusedMessage(previousPath, wrong), kAppTitle);
            return Result::PreviousRefused;
        }
    }

    const auto report = [this, &txtSavePath](const Failure& f) {
        QString text = QStringLiteral("Error in cmdDumpData_Click:") + f.description();
        // Which file, and what to change about it.
        if (f.number() == ErrorNumber::PermissionDenied)
            text += QStringLiteral(" - the folder or the file is read-only: ") + txtSavePath;
        m_app.services.ShowMessage(text);
    };
    StepRunner steps(report);
    const QString logPath = m_app.log.GenerateNewLogFileName();
    // Refused before anything is opened: the output would take the log's place.
    if (FileSystem::samePath(txtSavePath, logPath)) {
        m_app.ui.showMessage(outputIsLogMessage(txtSavePath), kAppTitle);
        return Result::OutputIsLog;
    }
    steps.run([&] { m_app.log.OpenLogFile(logPath, false); });

    // The new file is written beside the target and takes its place only
    // when whole. A failure to make, write or close it is told once, logged
    // and counted; a walk would only fail again on every row.
    StepRunner output([&](const Failure& f) {
        report(f);
        m_app.log.WriteToLog(ErrorText::logLine(f, QStringLiteral("cmdDumpData_Click"), kForm));
    });
    const bool opened = output.run([&] { m_tsCSVFile.open(txtSavePath, TextFileWriter::Mode::Replace, m_encoding); });
    if (opened && output.run([&] { m_tsCSVFile.writeLine(MembershipCsv::kHeader); }))
        ExportData();
    const bool written = opened && !m_interrupted && m_stopLine.isEmpty() && !m_tsCSVFile.failure();
    m_outputWritten = written;
    m_tsCSVFile.discard(); // whatever is still open was not finished: the target stays as it was

    QString changes; // the end message's word on them
    if (written && comparison) {
        const QString reportPath = ExportComparison::reportPathFor(txtSavePath);
        StepRunner comparing([&](const Failure& f) {
            report(f);
            m_app.log.WriteToLog(QStringLiteral("(error) ") + QString::number(f.number()) + QStringLiteral(" (") +
                                 f.description() + QStringLiteral(") writing the change report ") + reportPath);
        });
        comparing.run([&] { m_changes = comparison->compare(txtSavePath, m_encoding, reportPath); });
        comparison.reset();
        if (m_changes) {
            m_changesReport = reportPath;
            m_app.log.WriteToLog(changesLine(previousPath, *m_changes, reportPath));
            changes = QStringLiteral("  ") + changesSentence(m_changes->total(), reportPath);
        }
    }

    if (m_interrupted) {
        m_app.log.WriteToLog(interruptedLine(m_rowsDone, m_rowsTotal, txtSavePath));
        m_app.log.CloseLogFile();
        return Result::Interrupted;
    }
    if (!m_stopLine.isEmpty()) {
        m_stopLine = stoppedLine(m_stopLine, m_rowsDone, m_rowsTotal, txtSavePath);
        m_app.log.WriteToLog(m_stopLine);
        m_app.log.CloseLogFile();
        m_app.ui.showMessage(m_stopLine.mid(8), kAppTitle);
        return Result::Stopped;
    }
    m_app.log.CloseLogFile();

    // A log that is not there, or not whole, is said so and never offered as one.
    const int errors = m_app.log.intErrorCount(), warnings = m_app.log.intWarningCount();
    if (const std::optional<Failure>& failure = m_app.log.logFailure()) {
        const QString cause =
            QString::number(failure->number()) + QStringLiteral(" (") + failure->description() + QLatin1Char(')');
        m_app.ui.showMessage(m_app.log.logWritten()
                                 ? QStringLiteral("The log file is incomplete: ") + cause + QStringLiteral(": ") +
                                       m_app.log.strLogFileName()
                                 : QStringLiteral("No log file could be written: ") + cause + QStringLiteral(" in ") +
                                       QFileInfo(m_app.log.strLogFileName()).path(),
                             kAppTitle);
    }
    if (!m_app.log.logWritten())
        m_app.ui.showMessage(completionWithoutLog(errors, warnings) + changes, QStringLiteral("Export Complete"));
    else if (m_app.ui.askYesNo(completionMessage(errors, warnings, changes), QStringLiteral("Export Complete")))
        m_app.services.ViewInTextEditor(m_app.log.strLogFileName());
    // Only a file this run wrote is offered.
    if (written && m_app.ui.askYesNo(kViewCsvQuestion, kAppTitle))
        m_app.services.ViewInTextEditor(txtSavePath);
    return Result::Completed;
}

void ExportRun::ExportData()
{
    StepRunner steps([this](const Failure& f) {
        m_app.log.WriteToLog(QStringLiteral("Error in ExportData on frmDumpInfo:") + f.description());
    });
    const int last = m_grid.Rows() - 1;
    m_progress.setRange(0, last);
    m_progress.setValue(0);
    const int selected = m_grid.ColIndex(QStringLiteral("Selected"));
    const int objectId = m_grid.ColIndex(QStringLiteral("ObjectID"));
    const int alias = m_grid.ColIndex(QStringLiteral("Alias"));
    const int displayName = m_grid.ColIndex(QStringLiteral("Displayname"));
    const int extension = m_grid.ColIndex(QStringLiteral("Extension"));

    // The walk reads its owners in sets when it knows them in advance.
    QStringList owners;
    for (int i = 1; i <= last; ++i) {
        if (m_grid.CellChecked(i, selected) == SelectionGrid::kChecked)
            owners.append(m_grid.TextMatrix(i, objectId));
    }
    m_walk.expectOwners(owners);

    // The walk reads the database as it is now, even while the product
    // writes to it; where it cannot, the log says why, once.
    ConsistentRead oneState;
    oneState.begin(m_app.strConnectionString);
    const auto logNotes = [&] {
        for (const QString& line : oneState.takeNotes())
            m_app.log.WriteToLog(line);
    };
    logNotes();

    for (int i = 1; i <= last; ++i) {
        m_progress.setValue(i);
        const QString caption = QLatin1Char('[') + QString::number(i) + QStringLiteral(" of ") + QString::number(last) +
                                QStringLiteral("] ") + m_grid.TextMatrix(i, displayName);
        m_progress.setCaption(caption);
        m_app.log.WriteToLog(caption);
        m_app.ui.yield();
        if (m_interruptRequested || (m_interruptionCheck && m_interruptionCheck())) {
            m_interrupted = true;
            return;
        }
        try {
            if (m_grid.CellChecked(i, selected) == SelectionGrid::kChecked)
                m_walk.ProcessPrivateDLMembers(m_grid.TextMatrix(i, objectId), m_grid.TextMatrix(i, alias),
                                               m_grid.TextMatrix(i, displayName), m_grid.TextMatrix(i, extension));
        } catch (const ReadsStopped& stop) {
            // The reads still in flight are left while the stop holds.
            m_walk.expectOwners({});
            if (stop.why() == ReadsStopped::Why::Interrupted)
                m_interrupted = true;
            else
                m_stopLine = stop.description();
            return;
        }
        logNotes(); // a connection lost and opened again reads a later state
        // Writing has stopped: the rest of the walk would go nowhere.
        if (m_tsCSVFile.failure())
            return;
        m_rowsDone = i;
    }
    m_walk.logFormulaCells();
    // Closing puts the new file in the target's place; a failure there is
    // an output failure like any other: told, logged and counted.
    StepRunner closing([this](const Failure& f) {
        m_app.services.ShowMessage(QStringLiteral("Error in ExportData on frmDumpInfo:") + f.description());
        m_app.log.WriteToLog(ErrorText::logLine(f, QStringLiteral("ExportData"), kForm));
    });
    if (m_tsCSVFile.isOpen())
        closing.run([&] { m_tsCSVFile.close(); });
    else
        steps.run([&] { m_tsCSVFile.close(); });
}

} // namespace tarnwick
