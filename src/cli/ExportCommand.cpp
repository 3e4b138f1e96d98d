#include "cli/ExportCommand.h"

#include "base/Recordset.h"
#include "base/StepRunner.h"
#include "cli/Console.h"
#include "export/ExportRun.h"
#include "platform/Interruption.h"
#include "program/AppContext.h"
#include "program/Startup.h"
#include "select/SelectionGrid.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace tarnwick {

namespace {

// "LOW-HIGH"; a minus at the start of LOW is its sign, so the range check
// can refuse it in its own words.
bool splitRange(const QString& text, QString& low, QString& high)
{
    qsizetype from = 0;
    while (from < text.size() && text.at(from).isSpace())
        ++from;
    const qsizetype dash = text.indexOf(QLatin1Char('-'), from + 1);
    if (dash < 0)
        return false;
    low = text.left(dash);
    high = text.mid(dash + 1);
    return true;
}

// A whole number of seconds from 1 up.
QString takeSeconds(int& seconds, const QString& value, const QString& option)
{
    bool ok = false;
    const int number = value.trimmed().toInt(&ok);
    if (!ok || number < 1)
        return option + QStringLiteral(" takes a whole number of seconds from 1 up, not ") + value;
    seconds = number;
    return {};
}

// One row per option: to add one, add a row. A row with a mode is one of the
// ways to choose the subscribers; `take` stores the value and returns what is
// wrong with it, if anything.
struct OptionRow
{
    const char* names;     // short name first, separated by ','
    const char* valueName; // empty for a switch
    const char* description;
    std::optional<SelectionMode> mode;
    QString (*take)(ExportCommandOptions& options, const QString& value);
};

const OptionRow kOptions[] = {
    {"all", "", "All subscribers.", SelectionMode::AllSubscribers,
     [](ExportCommandOptions&, const QString&) { return QString(); }},
    {"range", "LOW-HIGH", "Subscribers whose extension lies from LOW to HIGH.", SelectionMode::ExtensionRange,
     [](ExportCommandOptions& o, const QString& v) {
         return splitRange(v, o.request.low, o.request.high)
                    ? QString()
                    : QStringLiteral("--range takes LOW-HIGH, for example --range 1000-1999");
     }},
    {"csv", "FILE", "Subscribers named in a CSV file (the wizard's import format).", SelectionMode::CsvFile,
     [](ExportCommandOptions& o, const QString& v) {
         o.request.csvPath = v;
         return QString();
     }},
    {"cos", "NAME", "Subscribers of the class of service named NAME (exactly).", SelectionMode::ClassOfService,
     [](ExportCommandOptions& o, const QString& v) {
         o.request.cosName = v;
         return QString();
     }},
    {"name-contains", "TEXT", "Subscribers whose display name contains TEXT (sub strings separated by ';').",
     SelectionMode::DisplayNameSubString,
     [](ExportCommandOptions& o, const QString& v) {
         o.request.subString = v;
         return QString();
     }},
    {"cos-contains", "TEXT", "Subscribers whose class of service's name contains TEXT (sub strings separated by ';').",
     SelectionMode::CosNameSubString,
     [](ExportCommandOptions& o, const QString& v) {
         o.request.subString = v;
         return QString();
     }},
    {"o,output", "FILE", "The CSV file to write; an existing file is replaced.", std::nullopt,
     [](ExportCommandOptions& o, const QString& v) {
         o.output = v;
         return QString();
     }},
    {"encoding", "NAME", "utf-8: write the file as UTF-8 with a byte-order mark; code-page (the default).",
     std::nullopt,
     [](ExportCommandOptions& o, const QString& v) {
         const QString name = v.toLower();
         o.utf8 = name == QLatin1String("utf-8") || name == QLatin1String("utf8");
         return o.utf8 || name == QLatin1String("code-page") ? QString()
                                                              : QStringLiteral("--encoding takes utf-8 or code-page");
     }},
    {"compare", "PREVIOUS",
     "Compare with an earlier export and list what changed since in <output name>.changes.csv beside the output.",
     std::nullopt,
     [](ExportCommandOptions& o, const QString& v) {
         o.previous = v;
         return v.isEmpty() ? QStringLiteral("--compare takes the earlier export's file") : QString();
     }},
    {"formula-safe", "",
     "Write names and aliases that a spreadsheet would read as formulas (beginning with =, +, -, @, tab or CR) "
     "after a ', so that they stay text. Without it they are written as they are, and counted in the log.",
     std::nullopt,
     [](ExportCommandOptions& o, const QString&) {
         o.formulaSafe = true;
         return QString();
     }},
    {"per-row-queries", "", "Read the database one row per query instead of in sets (slower; the same files).",
     std::nullopt,
     [](ExportCommandOptions& o, const QString&) {
         o.perRowQueries = true;
         return QString();
     }},
    {"timeout", "SECONDS",
     "Give up on a query (or a lock the database is held in) after SECONDS (default 600): the run "
     "stops with one error line and FILE is left as it was.",
     std::nullopt,
     [](ExportCommandOptions& o, const QString& v) {
         return takeSeconds(o.timeoutSeconds, v, QStringLiteral("--timeout"));
     }},
    {"connect-timeout", "SECONDS", "Give up connecting to the database after SECONDS (default 30).", std::nullopt,
     [](ExportCommandOptions& o, const QString& v) {
         return takeSeconds(o.connectTimeoutSeconds, v, QStringLiteral("--connect-timeout"));
     }},
    {"q,quiet", "", "No progress and no messages but failures.", std::nullopt,
     [](ExportCommandOptions& o, const QString&) {
         o.quiet = true;
         return QString();
     }},
    {"summary", "FORMAT",
     "At the end, one line on stdout: rows written, owners, lists, errors, warnings, cells that look like "
     "formulas, the CSV and log paths (FORMAT: json).",
     std::nullopt,
     [](ExportCommandOptions& o, const QString& v) {
         o.summaryJson = v == QLatin1String("json");
         return o.summaryJson ? QString() : QStringLiteral("--summary takes json, not ") + v;
     }},
};

QStringList namesOf(const OptionRow& row)
{
    return QString::fromLatin1(row.names).split(QLatin1Char(','));
}

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Exports every private distribution list the chosen subscribers own, with every\n"
                       "member and the members' extensions, to a CSV file, and writes the same dated\n"
                       "log as the wizard. Choose the subscribers with exactly one of --all, --range,\n"
                       "--csv, --cos, --name-contains and --cos-contains; name the file with --output.\n"
                       "With --compare, what changed since an earlier export is listed beside it."));
    for (const OptionRow& row : kOptions)
        parser.addOption(
            QCommandLineOption(namesOf(row), QString::fromLatin1(row.description), QString::fromLatin1(row.valueName)));
    parser.addHelpOption();
    parser.addVersionOption();
}

} // namespace

QString exportCommandUsage()
{
    QCommandLineParser parser;
    describe(parser);
    return parser.helpText() +
           QStringLiteral("\n"
                          "Progress goes to stderr: a bar that fits the terminal when stderr is one, one\n"
                          "line per subscriber otherwise. Messages the wizard shows in boxes go to stderr;\n"
                          "its questions are answered No.\n"
                          "\n"
                          "Exit status:\n"
                          "  0  the export completed and the log counted no errors\n"
                          "  1  the export ran, but the log counted errors (see the log), choosing the\n"
                          "     subscribers reported a failure, or no whole log could be written; or the\n"
                          "     database ran out of time or went away, and FILE was left as it was\n"
                          "  2  wrong or missing options, a failed start-up check, no subscriber\n"
                          "     chosen, or a --compare file that is not a readable export; nothing\n"
                          "     was exported\n"
                          "  130, 143  interrupted (SIGINT, SIGTERM); FILE was left as it was\n");
}

ExportCommandOptions parseExportArguments(const QStringList& arguments)
{
    ExportCommandOptions options;
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(QStringList{QStringLiteral("tarnwick-export")} + arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        options.action = ExportCommandOptions::Action::Help;
        return options;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        options.action = ExportCommandOptions::Action::Version;
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error = QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first();
        return options;
    }

    QStringList chosen;
    for (const OptionRow& row : kOptions) {
        const QString name = namesOf(row).constLast();
        if (!parser.isSet(name))
            continue;
        if (row.mode) {
            chosen.append(QStringLiteral("--") + name);
            options.request.mode = static_cast<int>(*row.mode);
        }
        const QString wrong = row.take(options, *row.valueName ? parser.value(name) : QString());
        if (options.error.isEmpty())
            options.error = wrong;
    }
    if (chosen.isEmpty())
        options.error = QStringLiteral("Choose the subscribers with one of --all, --range, --csv, --cos, "
                                       "--name-contains, --cos-contains");
    else if (chosen.size() > 1)
        options.error = QStringLiteral("Choose the subscribers one way only, not with ") +
                        chosen.join(QStringLiteral(" and "));
    else if (!parser.isSet(QStringLiteral("output")))
        options.error = QStringLiteral("Name the output file with --output FILE");
    return options;
}

QByteArray ExportSummary::toJson() const
{
    const auto path = [](const QString& p) { return p.isEmpty() ? QJsonValue() : QJsonValue(p); };
    QJsonObject object{
        {QStringLiteral("rows"), rows},         {QStringLiteral("owners"), owners},
        {QStringLiteral("lists"), lists},       {QStringLiteral("formulaCells"), formulaCells},
        {QStringLiteral("errors"), errors},     {QStringLiteral("warnings"), warnings},
        {QStringLiteral("failures"), failures}, {QStringLiteral("csv"), path(csvPath)},
        {QStringLiteral("log"), path(logPath)}, {QStringLiteral("status"), status},
    };
    if (compared) {
        QJsonObject c;
        if (changes)
            c = QJsonObject{{QStringLiteral("lists_added"), changes->listsAdded},
                            {QStringLiteral("lists_removed"), changes->listsRemoved},
                            {QStringLiteral("lists_renamed"), changes->listsRenamed},
                            {QStringLiteral("members_added"), changes->membersAdded},
                            {QStringLiteral("members_removed"), changes->membersRemoved},
                            {QStringLiteral("extensions_changed"), changes->extensionsChanged},
                            {QStringLiteral("report"), changesPath}};
        object.insert(QStringLiteral("changes"), changes ? QJsonValue(c) : QJsonValue());
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

int runExportCommand(AppContext& app, const ConsoleUserInterface& console, const ExportCommandOptions& options,
                     ExportProgress& progress, SelectionProgress& selectionProgress, ExportSummary& summary)
{
    summary = ExportSummary();
    setReadLimits(options.connectTimeoutSeconds > 0 ? options.connectTimeoutSeconds : kDefaultConnectSeconds,
                  options.timeoutSeconds > 0 ? options.timeoutSeconds : kDefaultStatementSeconds);
    RunStartupGates(app);
    app.perRowQueries = options.perRowQueries;

    // What the selection page's load reads before anything can be chosen;
    // an empty class-of-service table ends the program here as it does there.
    StepRunner loading([&app](const Failure& f) {
        app.services.ShowMessage(ErrorText::inProcedure(
            f, QStringLiteral("Form_Load"), QStringLiteral("Form frmChooseSubscribers")));
    });
    const std::vector<ClassOfService> classes = LoadClassesOfService(app, loading);

    SelectionRequest request = options.request;
    if (request.mode == static_cast<int>(SelectionMode::ClassOfService)) {
        const std::optional<ClassOfService> cos = findClassOfService(classes, request.cosName);
        if (!cos) {
            app.services.ShowMessage(QStringLiteral("No class of service is named \"") +
                                     request.cosName + QStringLiteral("\""));
            summary.failures = console.failuresShown();
            return summary.status = ExitStatus::NotRun;
        }
        request.cosId = cos->objectId;
    }

    SelectionGrid grid;
    SubscriberSelection selection(app, grid, selectionProgress);
    selection.fillGrid(request);
    if (!AnySubscriberSelected(grid)) {
        app.services.ShowMessage(
            QStringLiteral("You must select at least one user to be processed"));
        summary.failures = console.failuresShown();
        return summary.status = ExitStatus::NotRun;
    }

    ExportRun run(app, grid, progress);
    run.setEncoding(options.utf8 ? TextFileWriter::Encoding::Utf8WithBom : TextFileWriter::Encoding::CodePage);
    run.setPreviousExport(options.previous);
    run.setFormulaSafe(options.formulaSafe);
    // From here a signal ends the run in order instead of killing it.
    const InterruptionCatcher interruptions([] { cancelReads(); });
    run.setInterruptionCheck([] { return InterruptionCatcher::caught() != 0; });
    switch (run.run(options.output)) {
    case ExportRun::Result::Completed:
        break;
    case ExportRun::Result::Stopped:
        summary.errors = app.log.intErrorCount();
        summary.failures = console.failuresShown();
        if (app.log.logWritten())
            summary.logPath = app.log.strLogFileName();
        return summary.status = ExitStatus::LoggedErrors;
    case ExportRun::Result::Interrupted:
        app.services.ShowMessage(ExportRun::interruptedLine(run.rowsDone(), run.rowsTotal(), options.output).mid(8));
        summary.failures = console.failuresShown();
        return summary.status = InterruptionCatcher::exitStatus();
    default:
        summary.failures = console.failuresShown();
        return summary.status = ExitStatus::NotRun;
    }
    const PrivateListWalk::Counts& counts = run.walk().counts();
    summary.rows = counts.rows;
    summary.owners = counts.owners;
    summary.lists = counts.lists;
    summary.formulaCells = counts.formulaCells;
    summary.errors = app.log.intErrorCount();
    summary.warnings = app.log.intWarningCount();
    summary.failures = console.failuresShown();
    if (app.log.logWritten()) // a log that could not be made is not named
        summary.logPath = app.log.strLogFileName();
    if (run.outputWritten()) // a previous file kept in place is not this run's
        summary.csvPath = QFileInfo(options.output).absoluteFilePath();
    summary.compared = !options.previous.isEmpty();
    summary.changes = run.changes();
    if (run.changes())
        summary.changesPath = QFileInfo(run.changesReportPath()).absoluteFilePath();
    // A failure told while choosing (a database error, an unreadable file)
    // may leave subscribers out: the run is not a clean one; nor is one without a whole log.
    const bool wholeLog = app.log.logWritten() && !app.log.logFailure();
    summary.status = summary.errors > 0 || summary.failures > 0 || !wholeLog ? ExitStatus::LoggedErrors
                                                                            : ExitStatus::Success;
    return summary.status;
}

} // namespace tarnwick
