#pragma once

#include "select/SubscriberSelection.h"

#include <QString>
#include <QStringList>

namespace tarnwick {

struct AppContext;
class ExportProgress;
class SelectionProgress;

// tarnwick-export: the wizard's export without windows. One selection option
// chooses the subscribers as the selection page would, --output names the file.
namespace ExitStatus {
inline constexpr int Success = 0;
inline constexpr int LoggedErrors = 1; // the export ran; its log counted errors, or no whole log was written
inline constexpr int NotRun = 2;       // usage error, failed start-up gate, or nobody chosen
// Ended by SIGINT or SIGTERM: 128 + the signal (130, 143), the previous file kept.
} // namespace ExitStatus

struct ExportCommandOptions
{
    SelectionRequest request; // the mode and its inputs; a class of service by its name
    QString output;
    bool utf8 = false; // --encoding=utf-8: UTF-8 with a byte-order mark instead of the code page
    bool perRowQueries = false; // --per-row-queries: one query per row, as the walks are written
    bool help = false;
    QString error; // what is wrong with the arguments; empty when nothing is
};

// The arguments without the program's name.
ExportCommandOptions parseExportArguments(const QStringList& arguments);
QString exportCommandUsage();

// Start-up gates, the selection, the export. Returns the exit status; a
// failed gate ends the process through the context's user interface instead.
int runExportCommand(AppContext& app, const ExportCommandOptions& options, ExportProgress& progress,
                     SelectionProgress& selectionProgress);

} // namespace tarnwick
