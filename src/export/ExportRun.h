#pragma once

#include "export/PrivateListWalk.h"
#include "platform/TextFileWriter.h"

#include <QString>

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
        Completed,      // the summary has been shown, whatever failed on the way
        NoPath,         // refused: the path is too short to be one
        AlreadyRunning, // refused: a run is going on (a click during its yields)
    };
    // "&Export Data" with the path as typed.
    Result run(const QString& txtSavePath);
    // Walks the grid rows into the open output file, then closes it.
    void ExportData();

    bool isRunning() const { return m_running; }
    const PrivateListWalk& walk() const { return m_walk; }

    static const QString kNoPathMessage;
    static const QString kViewCsvQuestion;
    // "Export complete - " with both counts and the offer to view the log.
    static QString completionMessage(int errors, int warnings);

private:
    AppContext& m_app;
    const SelectionGrid& m_grid;
    ExportProgress& m_progress;
    TextFileWriter m_tsCSVFile;
    PrivateListWalk m_walk;
    bool m_running = false;
};

} // namespace tarnwick
