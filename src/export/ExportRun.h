#pragma once

#include "export/ExportComparison.h"
#include "export/PrivateListWalk.h"
#include "platform/TextFileWriter.h"

#include <QString>

#include <functional>
#include <optional>

namespace tarnwick {

struct AppContext;
class SelectionGrid;

// What a run shows while it walks the grid: the progress bar and the caption
// that names the row in hand. The export page draws them; the headless
// command writes them to stderr.
class ExportProgress
{
public:
    virtual ~ExportProgress() = default;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual void setValue(int value) = 0;
    // Shown at once, before the row's walk starts.
    virtual void setCaption(const QString& caption) = 0;
};

// The export: a new log, the output file recreated with its header, the walk
// of every grid row, then the summary and the offers to view the log and the
// file. The grid is only read.
class ExportRun
{
public:
    ExportRun(AppContext& app, const SelectionGrid& grid, ExportProgress& progress);

    enum class Result {
        Completed,       // the summary has been shown, whatever failed on the way
        NoPath,          // refused: the path is too short to be one
        AlreadyRunning,  // refused: a run is going on (a click during its yields)
        OutputIsLog,     // refused: the path is this run's own log
        Interrupted,     // stopped part way: the output file was left as it was
        PreviousRefused, // refused: the earlier export to compare with cannot be read
        Stopped,        // the database ran out of time or went away: logged once, the output file left as it was
    };
    // "&Export Data" with the path as typed.
    Result run(const QString& txtSavePath);
    // Walks the grid rows into the open output file, then closes it, which
    // puts the new file in the target's place.
    void ExportData();

    bool isRunning() const { return m_running; }
    const PrivateListWalk& walk() const { return m_walk; }
    // Ends a run at its next row, as Exit during a run does, cancelling the
    // read in hand: the new file is dropped, and the log says how far the run came.
    void interrupt();
    // Asked at every row as well (the command's signals, which cancel the read in hand themselves).
    void setInterruptionCheck(std::function<bool()> check) { m_interruptionCheck = std::move(check); }
    void setEncoding(TextFileWriter::Encoding encoding) { m_encoding = encoding; }
    // An earlier export to compare the new file with; empty for none.
    void setPreviousExport(const QString& path) { m_previousPath = path; }
    // What the last run's comparison counted, and where it wrote them; none when no report was written.
    const std::optional<ExportComparison::Counts>& changes() const { return m_changes; }
    const QString& changesReportPath() const { return m_changesReport; }
    // Names and aliases a spreadsheet would read as formulas are written after a '.
    void setFormulaSafe(bool on) { m_walk.setFormulaSafe(on); }
    // Rows walked to their end, of how many, in the last run.
    int rowsDone() const { return m_rowsDone; }
    int rowsTotal() const { return m_rowsTotal; }
    // Whether the last run put a whole new file in the target's place.
    bool outputWritten() const { return m_outputWritten; }

    static const QString kNoPathMessage;
    static const QString kViewCsvQuestion;
    // "Export complete - " with both counts, what `changes` says (from two blanks on), and the offer to view the log.
    static QString completionMessage(int errors, int warnings, const QString& changes = {});
    // The same without the offer, when no log could be written.
    static QString completionWithoutLog(int errors, int warnings);
    static QString outputIsLogMessage(const QString& path);
    static QString interruptedLine(int done, int total, const QString& path);
    static QString previousRefusedMessage(const QString& path, const QString& what);
    // The log's line for a comparison, and the sentence the end message gains.
    static QString changesLine(const QString& previous, const ExportComparison::Counts& counts, const QString& report);
    static QString changesSentence(qint64 total, const QString& report);
    // "37% done, about 2 minutes left" for `done` of `total` rows after
    // `elapsedMs`; empty for the first hundred rows, too few to judge by.
    static QString progressText(int done, int total, qint64 elapsedMs);
    // The one line of a run the database stopped.
    static QString stoppedLine(const QString& cause, int done, int total, const QString& path);
    // That line, after a run that returned Stopped.
    const QString& stopLine() const { return m_stopLine; }

private:
    AppContext& m_app;
    const SelectionGrid& m_grid;
    ExportProgress& m_progress;
    TextFileWriter m_tsCSVFile;
    PrivateListWalk m_walk;
    TextFileWriter::Encoding m_encoding = TextFileWriter::Encoding::CodePage;
    QString m_previousPath;
    std::optional<ExportComparison::Counts> m_changes;
    QString m_changesReport;
    std::function<bool()> m_interruptionCheck;
    bool m_interruptRequested = false;
    bool m_interrupted = false;
    QString m_stopLine;
    bool m_running = false;
    bool m_outputWritten = false;
    int m_rowsDone = 0;
    int m_rowsTotal = 0;
};

} // namespace tarnwick
