#pragma once

#include "export/ExportComparison.h"
#include "select/SubscriberSelection.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarnwick {

struct AppContext;
class ConsoleUserInterface;
class ExportProgress;
class SelectionProgress;

// tarnwick-export: the wizard's export without windows. One selection option
// chooses the subscribers as the selection page would, --output names the file.
namespace ExitStatus {
inline constexpr int Success = 0;
inline constexpr int LoggedErrors = 1; // the export ran; its log counted errors, a failure was reported, or no whole log was written
inline constexpr int NotRun = 2;       // usage error, failed start-up gate, or nobody chosen
// Ended by SIGINT or SIGTERM: 128 + the signal (130, 143), the previous file kept.
} // namespace ExitStatus

struct ExportCommandOptions
{
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    SelectionRequest request; // the mode and its inputs; a class of service by its name
    QString output;
    bool utf8 = false;          // --encoding=utf-8: UTF-8 with a byte-order mark instead of the code page
    bool perRowQueries = false; // --per-row-queries: one query per row, as the walks are written
    bool quiet = false;         // failures only: no progress, no notices, no questions
    bool formulaSafe = false;   // --formula-safe: names that look like formulas written after a '
    bool summaryJson = false;   // one line of JSON on stdout at the end
    QString previous;           // --compare: an earlier export to list the changes since
    int timeoutSeconds = 0;     // --timeout: the limit on one statement; 0 for the default
    int connectTimeoutSeconds = 0; // --connect-timeout: the limit on connecting; 0 for the default
    QString error;              // what is wrong with the arguments; empty when nothing is
};

// The arguments without the program's name.
ExportCommandOptions parseExportArguments(const QStringList& arguments);
// The parser's text for --help, with the exit statuses after it.
QString exportCommandUsage();

// What a run did, for --summary=json.
struct ExportSummary
{
    qint64 rows = 0;         // CSV lines written below the header
    qint64 owners = 0;       // subscribers whose private lists were read
    qint64 lists = 0;        // private lists walked
    qint64 formulaCells = 0; // names and aliases written that a spreadsheet would read as formulas
    int errors = 0;          // the log's counts
    int warnings = 0;
    int failures = 0; // failures reported on stderr (selection and export)
    QString csvPath;  // absolute; empty when nothing was written
    QString logPath;  // empty when no log was written
    bool compared = false;                           // --compare was given
    std::optional<ExportComparison::Counts> changes; // none when no change report was written
    QString changesPath;                             // absolute
    int status = ExitStatus::NotRun;

    // One line, no blanks between fields; empty paths are null.
    QByteArray toJson() const;
};

// Start-up gates, the selection, the export. Returns the exit status and
// fills `summary`; a failed gate ends the process through the context's user
// interface instead. `console` is the context's interface: it counts the failures shown.
int runExportCommand(AppContext& app, const ConsoleUserInterface& console, const ExportCommandOptions& options,
                     ExportProgress& progress, SelectionProgress& selectionProgress, ExportSummary& summary);

} // namespace tarnwick
