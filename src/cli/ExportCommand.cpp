#include "cli/ExportCommand.h"

#include "app/AppContext.h"
#include "app/Startup.h"
#include "app/StepRunner.h"
#include "export/ExportRun.h"
#include "platform/Interruption.h"
#include "select/SelectionGrid.h"

#include <QCommandLineParser>

#include <array>

namespace tarnwick {

namespace {

struct ModeOption
{
    const char* name;
    SelectionMode mode;
};

const std::array<ModeOption, 6> kModeOptions{{
    {"all", SelectionMode::AllSubscribers},
    {"range", SelectionMode::ExtensionRange},
    {"csv", SelectionMode::CsvFile},
    {"cos", SelectionMode::ClassOfService},
    {"name-contains", SelectionMode::DisplayNameSubString},
    {"cos-contains", SelectionMode::CosNameSubString},
}};

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

} // namespace

QString exportCommandUsage()
{
    return QStringLiteral(
        "Usage: tarnwick-export SELECTION --output FILE\n"
        "\n"
        "Exports every private distribution list the chosen subscribers own, with every\n"
        "member and the members' extensions, to FILE (CSV), and writes the same dated log\n"
        "as the wizard in the logs folder beside the program.\n"
        "\n"
        "Choose the subscribers with exactly one of:\n"
        "  --all                  all subscribers\n"
        "  --range LOW-HIGH       subscribers whose extension lies from LOW to HIGH\n"
        "  --csv FILE             subscribers named in a CSV file (the wizard's import format)\n"
        "  --cos NAME             subscribers of the class of service named NAME (exactly)\n"
        "  --name-contains TEXT   subscribers whose display name contains TEXT\n"
        "  --cos-contains TEXT    subscribers whose class of service's name contains TEXT\n"
        "                         (TEXT: one or more sub strings separated by ';')\n"
        "\n"
        "  -o, --output FILE      the CSV file to write; an existing file is replaced\n"
        "                         only once the new one is whole\n"
        "  --encoding=utf-8       write FILE as UTF-8 with a byte-order mark instead of\n"
        "                         the system's code page (--encoding=code-page)\n"
        "  --per-row-queries      read the database one row per query instead of in sets\n"
        "                         (slower; the same files)\n"
        "  -h, --help             this text\n"
        "\n"
        "Progress goes to stderr: a live bar on a terminal, one line per subscriber\n"
        "otherwise. Messages the wizard shows in boxes go to stderr; its questions are\n"
        "answered No.\n"
        "\n"
        "Exit status:\n"
        "  0  the export completed and the log counted no errors\n"
        "  1  the export ran, but the log counted errors (see the log), or no whole\n"
        "     log could be written\n"
        "  2  wrong or missing options, a failed start-up check, or no subscriber\n"
        "     chosen; nothing was exported\n"
        "  130, 143  interrupted (SIGINT, SIGTERM); FILE was left as it was\n");
}

ExportCommandOptions parseExportArguments(const QStringList& arguments)
{
    ExportCommandOptions options;
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("file"));
    const QCommandLineOption encoding(QStringLiteral("encoding"), QString(), QStringLiteral("name"));
    parser.addOption(help);
    parser.addOption(output);
    const QCommandLineOption perRow(QStringLiteral("per-row-queries"));
    parser.addOption(encoding);
    parser.addOption(perRow);
    for (const ModeOption& mode : kModeOptions) {
        const QString name = QString::fromLatin1(mode.name);
        parser.addOption(mode.mode == SelectionMode::AllSubscribers
                             ? QCommandLineOption(name)
                             : QCommandLineOption(name, QString(), name));
    }
    if (!parser.parse(QStringList{QStringLiteral("tarnwick-export")} + arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (parser.isSet(help)) {
        options.help = true;
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error =
            QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first();
        return options;
    }

    QStringList chosen;
    for (const ModeOption& mode : kModeOptions) {
        const QString name = QString::fromLatin1(mode.name);
        if (!parser.isSet(name))
            continue;
        chosen.append(QStringLiteral("--") + name);
        options.request.mode = static_cast<int>(mode.mode);
        const QString value =
            mode.mode == SelectionMode::AllSubscribers ? QString() : parser.value(name);
        switch (mode.mode) {
        case SelectionMode::AllSubscribers:
            break;
        case SelectionMode::ExtensionRange:
            if (!splitRange(value, options.request.low, options.request.high))
                options.error =
                    QStringLiteral("--range takes LOW-HIGH, for example --range 1000-1999");
            break;
        case SelectionMode::CsvFile:
            options.request.csvPath = value;
            break;
        case SelectionMode::ClassOfService:
            options.request.cosName = value;
            break;
        case SelectionMode::DisplayNameSubString:
        case SelectionMode::CosNameSubString:
            options.request.subString = value;
            break;
        }
    }
    if (chosen.isEmpty())
        options.error =
            QStringLiteral("Choose the subscribers with one of --all, --range, --csv, --cos, "
                           "--name-contains, --cos-contains");
    else if (chosen.size() > 1)
        options.error = QStringLiteral("Choose the subscribers one way only, not with ") +
                        chosen.join(QStringLiteral(" and "));
    else if (!parser.isSet(output))
        options.error = QStringLiteral("Name the output file with --output FILE");
    options.output = parser.value(output);
    const QString encodingName = parser.value(encoding).toLower();
    options.utf8 = encodingName == QStringLiteral("utf-8") || encodingName == QStringLiteral("utf8");
    if (parser.isSet(encoding) && !options.utf8 && encodingName != QStringLiteral("code-page") &&
        options.error.isEmpty())
        options.error = QStringLiteral("--encoding takes utf-8 or code-page");
    options.perRowQueries = parser.isSet(perRow);
    return options;
}

int runExportCommand(AppContext& app, const ExportCommandOptions& options, ExportProgress& progress,
                     SelectionProgress& selectionProgress)
{
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
            return ExitStatus::NotRun;
        }
        request.cosId = cos->objectId;
    }

    SelectionGrid grid;
    SubscriberSelection selection(app, grid, selectionProgress);
    selection.fillGrid(request);
    if (!AnySubscriberSelected(grid)) {
        app.services.ShowMessage(
            QStringLiteral("You must select at least one user to be processed"));
        return ExitStatus::NotRun;
    }

    ExportRun run(app, grid, progress);
    run.setEncoding(options.utf8 ? TextFileWriter::Encoding::Utf8WithBom : TextFileWriter::Encoding::CodePage);
    // From here a signal ends the run in order instead of killing it.
    const InterruptionCatcher interruptions;
    run.setInterruptionCheck([] { return InterruptionCatcher::caught() != 0; });
    switch (run.run(options.output)) {
    case ExportRun::Result::Completed:
        break;
    case ExportRun::Result::Interrupted:
        app.services.ShowMessage(ExportRun::interruptedLine(run.rowsDone(), run.rowsTotal(), options.output).mid(8));
        return InterruptionCatcher::exitStatus();
    default:
        return ExitStatus::NotRun;
    }
    const bool wholeLog = app.log.logWritten() && !app.log.logFailure();
    return app.log.intErrorCount() > 0 || !wholeLog ? ExitStatus::LoggedErrors : ExitStatus::Success;
}

} // namespace tarnwick
