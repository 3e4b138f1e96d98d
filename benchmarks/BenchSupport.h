#pragma once

// What every benchmark program needs: the build's ODBC driver map, the large
// product database (built or reused), a quiet program context, the process's
// peak memory and the median of a run's samples.

#include "widgets/EventPump.h"
#include "base/UserInterface.h"
#include "export/ExportRun.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "program/AppContext.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <vector>

namespace tarnwick::bench {

QTextStream& out();

// The middle value (the upper one of an even count); 0 for none.
template <typename T> T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? T() : values[values.size() / 2];
}
// Runs this program again with `args` (a measuring mode, so that each
// measurement has a process and a peak memory of its own; `odbcMap`, when
// given, is its ODBCSYSINI) and returns the fields of the "RESULT " line it
// printed; none when it printed none.
QStringList measureInChild(const QStringList& args, const QString& odbcMap = QString());
// The value of --rounds in `args`, at least 1; `fallback` without one.
int roundsOption(const QStringList& args, int fallback);
// Peak resident memory of this process in KiB (-1 where unknown).
long peakRssKiB();
// CPU time (user and system) this process has used, in milliseconds.
qint64 cpuMilliseconds();
// Points unixODBC at the build's map of "SQL Server" to SQLite, unless the caller chose one.
void useBuildOdbcMap();
// The build's map of "SQL Server" to PostgreSQL's driver.
QString postgresOdbcMap();

// The project's PostgreSQL test server (scripts/postgres-test-server.sh start,
// on TARNWICK_PG_PORT): copies the tables of a SQLite product database into a
// new database `name` there (replacing one of that name) with psql, readable by
// the reader role. Throws std::runtime_error when a step fails.
void copyIntoPostgres(const QString& sqlitePath, const QString& name, int serverPort);
// The reader's connection string to that database through `port` (the server's, or a proxy's).
QString postgresConnectionString(const QString& name, int port);
int postgresServerPort();

// --database FILE (reuse), --keep FOLDER (build there and keep), --subscribers N,
// and hostile shapes: --id-length N (subscriber ids that long), --members-per-list N
// (average), --big-list N (one more list with N members).
struct LargeDatabase
{
    explicit LargeDatabase(const QStringList& args);
    QString folder; // where the benchmark may write
    QString path;   // the SQLite file
    QString connectionString() const;

private:
    QTemporaryDir m_temp;
};

// Messages to stderr, every question answered No; `pumpEvents` runs the event
// loop on yields, as the wizard does (through the same pump).
class BenchUserInterface : public UserInterface
{
public:
    explicit BenchUserInterface(bool pumpEvents = false) : m_pump(pumpEvents) {}
    void showMessage(const QString& text, const QString& title = kAppTitle) override;
    bool askYesNo(const QString&, const QString& = kAppTitle) override { return false; }
    bool askOkCancel(const QString&, const QString& = kAppTitle) override { return false; }
    void yield() override;
    [[noreturn]] void exitProcess(int status) override;
    int messages = 0;

private:
    bool m_pump;
    EventPump m_events;
};

class NoShell : public Shell
{
public:
    bool openDocument(const QString&) override { return false; }
    bool openInTextEditor(const QString&) override { return false; }
};

// An export's progress, shown nowhere.
struct NoProgress : ExportProgress
{
    void setRange(int, int) override {}
    void setValue(int) override {}
    void setCaption(const QString&) override {}
};

// A program context on the large database, with an empty registry.
struct BenchApp
{
    BenchApp(const LargeDatabase& db, bool pumpEvents = false);
    BenchUserInterface ui;
    NoShell shell;
    std::unique_ptr<RegistryBackend> registry;
    Clock clock;
    std::unique_ptr<AppContext> app;
};

} // namespace tarnwick::bench
