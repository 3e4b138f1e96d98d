#pragma once

#include "export/ExportRun.h"
#include "select/SelectionGrid.h"
#include "support/PostgresDatabase.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tarnwick::test {

using namespace Qt::StringLiterals;

// Both kinds of member, one of an unknown type, unknown, missing and padded extensions, quotes in ids, and names
// with commas, quotes, CR LF and non-ASCII letters. Owners: "S-OWNER" (lists "team", "empty"), "S-NOLISTS".
inline void buildWalkFixture(demo::DemoDatabase& db)
{
    db.beginBatch();
    db.addCos("C1", "Default");
    db.addSubscriber({"S-OWNER", "jsmith", {}, {}, "Smith, John", "1001", "H-S-OWNER", "C1", 1});
    db.addSubscriber({"S-NOLISTS", "nolists", {}, {}, "Nobody \"Nolists\"", "1002", "H-S-NOLISTS", "C1", 1});
    db.addSubscriber({"S-'ANNA", "amuller", {}, {}, "Anna Müller", "  2002  ", "H-S-'ANNA", "C1", 1});
    db.addSubscriber({"S-NOEXT", "noext", {}, {}, "No Ext", std::nullopt, "H-S-NOEXT", "C1", 1});
    db.addPublicList("P-'ALL", "allstaff", "All Staff", " 300 ");
    db.addPrivateList("L-'TEAM", "S-OWNER", "team", "Team, core", "11");
    db.addPrivateList("L-EMPTY", "S-OWNER", "empty", std::nullopt, std::nullopt);
    db.addMember("L-'TEAM", 1, "S-'ANNA", "amuller", "Anna Müller");
    db.addMember("L-'TEAM", 2, "P-'ALL", "allstaff", "All \"Staff\"");
    db.addMember("L-'TEAM", 3, "S-'ANNA", "weird", "Weird");
    db.addMember("L-'TEAM", 1, "S-GHOST", "ghost", "Ghost\r\nLine");
    db.addMember("L-'TEAM", 1, "S-NOEXT", "noext", "No Ext");
    db.addMember("L-'TEAM", 2, "P-GHOST", "o'brien,list", std::nullopt);
    db.commitBatch();
}

// The output for both owners, header first; the walk's log lines for "S-OWNER" and for "S-NOLISTS".
inline QStringList fixtureCsvLines()
{
    const QString owner = "jsmith,\"Smith, John\",1001,\"Team, core\",11,";
    return {MembershipCsv::kHeader,
            owner + "SUBSCRIBER,amuller,Anna Müller,2002",
            owner + "PUBLIC LIST,allstaff,\"All \"\"Staff\"\"\", 300 ",
            owner + "SUBSCRIBER,ghost,\"Ghost\r\nLine\",",
            owner + "SUBSCRIBER,noext,No Ext,",
            owner + "PUBLIC LIST,\"o'brien,list\",,"};
}
inline const QStringList kOwnerLog{"        Processing private list=team", "        Processing private list=empty",
                                   "            No members found for this private list"};
inline const QString kNoListsLine = "    No private lists configured for this subscriber";

inline QByteArray crlfFile(const QStringList& lines)
{
    return lines.isEmpty() ? QByteArray() : (lines.join("\r\n") + "\r\n").toUtf8();
}

// An export over that fixture (in PostgreSQL, read as a role that may only SELECT, with EXPORT_ON_POSTGRES), with
// an empty grid, the run's progress, and a recorder whose next yield runs onYield: clicks made during a run.
struct ExportFixture : ExportProgress, RecordingUserInterface
{
    static void idle() {}
    void yield() override { std::exchange(onYield, idle)(); }
    void setRange(int min, int max) override { values << min << max; }
    void setValue(int value) override { values.append(value); }
    void setCaption(const QString& caption) override { captions.append(caption); }
    ExportFixture()
    {
        app.strConnectionString = env.connectionString();
#ifdef EXPORT_ON_POSTGRES
        db = &pg.database();
        app.strConnectionString = pg.connectionString();
#endif
        buildWalkFixture(*db);
    }
    // The lines after the log's header, failure lines without the driver's words: "(error) N in procedure X",
    // "(error) N looking up ...".
    QStringList log(const QString& path = {}) const
    {
        const QStringList lines =
            QString::fromUtf8(readFile(path.isEmpty() ? app.log.strLogFileName() : path)).split("\r\n");
        const qsizetype start = lines.indexOf(QRegularExpression("Starting process at:.*"));
        return lines.mid(start + 2, lines.size() - start - 3)
            .replaceInStrings(QRegularExpression("(?s)^( *\\(error\\) \\S+) \\(.*\\)( in procedure | looking up )"),
                              "\\1\\2");
    }
    // A grid row as the selection page fills one.
    void addRow(const QString& objectId, const QString& alias, const QString& name, const QString& extension,
                bool ticked = true)
    {
        grid.AddItem(QString::number(grid.Rows()));
        const int row = grid.Rows() - 1;
        grid.setCellChecked(row, SelectionGrid::Selected, ticked);
        grid.setTextMatrix(row, SelectionGrid::ObjectID, objectId);
        grid.setTextMatrix(row, SelectionGrid::Alias, alias);
        grid.setTextMatrix(row, SelectionGrid::DisplayName, name);
        grid.setTextMatrix(row, SelectionGrid::Extension, extension);
    }

#ifdef EXPORT_ON_POSTGRES
    PostgresDatabase pg;
#endif
    TestEnvironment env;
    demo::DemoDatabase* db = &env.database();
    std::function<void()> onYield = idle;
    AppContext app{*this, env.shell, *env.registry, TestEnvironment::programIn(env.folder()), env.clock};
    SelectionGrid grid;
    QList<int> values; // the two bounds of setRange, then every setValue
    QStringList captions;
    ExportRun run{app, grid, *this};
};

// How a run of the command is started: more environment, as the user "nobody" (root passes every permission
// check), with a file-size limit (SIGXFSZ ignored, so a write past it fails as on a full disk), or on a terminal
// `columns` wide (through script(1), stdout and stderr both).
struct Launch
{
    QStringList environment;
    bool asNobody = false;
    rlim_t fileSizeLimit = 0;
    int columns = 0;
};

// Starts a copy of tarnwick-export in `folder` (its logs go there, and the fixed connection string finds
// "OrvaneDb" there), with that registry.
inline void startExportBinary(QProcess& process, const QString& folder, const QStringList& arguments,
                              const QString& registryText = TestEnvironment::registryText(), const Launch& launch = {})
{
    const QDir dir(folder);
    QFile::copy(TARNWICK_BINARY_DIR "/bin/tarnwick-export", dir.filePath("tarnwick-export"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TARNWICK_REGISTRY", writeFile(dir.filePath("registry.reg"), registryText.toUtf8()));
    for (const QString& setting : launch.environment)
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    if (launch.asNobody) { // the build folder may be closed to nobody: the driver map goes beside the copy
        QFile::copy(environment.value("ODBCSYSINI") + "/odbcinst.ini", dir.filePath("odbcinst.ini"));
        environment.insert("ODBCSYSINI", folder);
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    const rlim_t limit = launch.fileSizeLimit;
    if (limit > 0)
        process.setChildProcessModifier([limit] {
            const rlimit size{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &size);
            ::signal(SIGXFSZ, SIG_IGN);
        });
    if (launch.asNobody) {
        ::chmod(QFile::encodeName(folder), 0755); // nobody may enter, read and run, not write
        process.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                             dir.filePath("tarnwick-export")} +
                                     arguments);
    } else if (launch.columns > 0) {
        QString command = u"stty cols %1 rows 24; exec ./tarnwick-export"_s.arg(launch.columns);
        for (const QString& argument : arguments)
            command += u" '"_s + QString(argument).replace(u"'"_s, u"'\\''"_s) + u'\'';
        process.start("script", {"-qec", command, "/dev/null"});
    } else {
        process.start(dir.filePath("tarnwick-export"), arguments);
    }
}

// Runs it to its end: the exit status, and stdout then stderr. `out` gets stdout alone.
inline std::pair<int, QString> runExportBinary(const QString& folder, const QStringList& arguments,
                                               const QString& registryText = TestEnvironment::registryText(),
                                               const Launch& launch = {}, QByteArray* out = nullptr)
{
    QProcess process;
    startExportBinary(process, folder, arguments, registryText, launch);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, {}};
    const QByteArray standardOutput = process.readAllStandardOutput();
    if (out)
        *out = standardOutput;
    return {process.exitCode(), QString::fromUtf8(standardOutput + process.readAllStandardError())};
}

// The newest log in a folder, as text (the logs are in the code page; the tests' is UTF-8 or Latin-1).
inline QString newestLog(const QString& folder)
{
    const QFileInfoList logs = QDir(folder).entryInfoList({"Tarnwick_Log_*.TXT"}, QDir::Files, QDir::Time);
    return logs.isEmpty() ? QString() : QString::fromLatin1(readFile(logs.first().absoluteFilePath()));
}

} // namespace tarnwick::test
