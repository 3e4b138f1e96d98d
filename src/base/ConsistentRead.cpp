#include "base/ConsistentRead.h"

#include "base/BackgroundRead.h"
#include "base/BlockRead.h"
#include "base/Failure.h"
#include "base/Recordset.h"
#include "base/SqlText.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>
#include <mutex>

namespace tarnwick {

namespace {

enum class Kind { PostgreSQL, SQLite, SqlServer };

// The run's state: who holds it, and whether it still holds.
struct Run
{
    std::mutex mutex;
    quint64 generation = 0;
    bool established = false;
    bool broken = false; // not one state: the reads go on as before
    bool oneConnection = false;
    QString snapshot; // PostgreSQL's, for the other connections
    QStringList notes;
    qsizetype taken = 0;
};

Run& theRun()
{
    static Run* const run = new Run; // a thread left behind may still use it
    return *run;
}

// The generation of the run in progress; 0 when none is. Read on every query.
std::atomic<quint64> g_active{0};

// A transaction one of this thread's connections holds, by connection name:
// the run's own (kept between reads) or one read's.
struct Held
{
    quint64 generation = 0;
    Kind kind = Kind::PostgreSQL;
    bool oneRead = false;
};

QHash<QString, Held>& threadHeld()
{
    thread_local QHash<QString, Held> held;
    return held;
}

// The run whose first read this thread made: only its connection holds the state.
thread_local quint64 t_home = 0;

const QString kBegin = QStringLiteral("BEGIN TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY");

// The first reason is the one told: after it, the reads are as before.
void note(const QString& why)
{
    Run& run = theRun();
    const std::lock_guard lock(run.mutex);
    if (run.broken || run.generation != g_active.load())
        return;
    run.broken = true;
    run.notes.append(ConsistentRead::noteText(why.simplified()));
}

// One statement of this file's own (never a write); the error text when it
// fails. `row`, when given, gets the first row's values.
QString runOwn(QSqlDatabase& db, const QString& sql, QStringList* row = nullptr)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return databaseErrorText(query.lastError());
    if (row) {
        while (query.record().isEmpty() && query.nextResult()) {
            // the answer of a later statement of the text
        }
        if (!query.next())
            return QStringLiteral("no answer to ") + sql;
        for (int i = 0; i < query.record().count(); ++i)
            row->append(query.value(i).toString());
    }
    return {};
}

bool isSqlServer(QSqlDatabase& db)
{
    return db.driver() && db.driver()->dbmsType() == QSqlDriver::MSSqlServer;
}

// Read-only transactions: there is nothing to keep, so they are rolled back.
void endHeld(QSqlDatabase& db, const Held& held)
{
    if (!db.isOpen())
        return;
    runOwn(db, QStringLiteral("ROLLBACK"));
    if (held.kind == Kind::SqlServer)
        runOwn(db, QStringLiteral("SET TRANSACTION ISOLATION LEVEL READ COMMITTED"));
}

// Makes `db` hold the run's state; the reason when it cannot.
QString establish(QSqlDatabase& db, Kind& kind, QString& snapshot, bool& oneConnection)
{
    const auto statements = [&db](const QStringList& sql) {
        for (const QString& statement : sql) {
            if (QString why = runOwn(db, statement); !why.isEmpty())
                return why;
        }
        return QString();
    };
    if (db.driver() && db.driver()->dbmsType() == QSqlDriver::PostgreSQL) {
        kind = Kind::PostgreSQL;
        // One statement text: the driver wraps each statement inside a
        // transaction in a savepoint of its own (so that a failed read leaves
        // the transaction usable), and a snapshot is exported only outside one.
        QStringList exported;
        const QString why = runOwn(db, kBegin + QStringLiteral("; SELECT pg_export_snapshot()"), &exported);
        snapshot = exported.value(0);
        return why;
    }
    if (isSqlServer(db)) {
        kind = Kind::SqlServer;
        oneConnection = true; // a snapshot cannot be shared between connections
        QStringList state;
        const QString why = runOwn(
            db, QStringLiteral("SELECT snapshot_isolation_state_desc, name FROM sys.databases WHERE name = DB_NAME()"),
            &state);
        if (!why.isEmpty())
            return why;
        if (state.value(0).compare(QLatin1String("ON"), Qt::CaseInsensitive) != 0)
            return QStringLiteral("the database does not allow snapshot isolation (snapshot_isolation_state_desc is ") +
                   state.value(0) + QStringLiteral("); ALTER DATABASE [") + state.value(1) +
                   QStringLiteral("] SET ALLOW_SNAPSHOT_ISOLATION ON would let every export read one snapshot");
        // The snapshot is taken at the first read of data in the transaction.
        return statements({QStringLiteral("SET TRANSACTION ISOLATION LEVEL SNAPSHOT"),
                           QStringLiteral("BEGIN TRANSACTION"),
                           QStringLiteral("SELECT COUNT(*) FROM vw_PersonalDList")});
    }
    const QString dbms = dbmsName(db);
    if (dbms.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0) {
        kind = Kind::SQLite;
        QStringList mode;
        const QString why = runOwn(db, QStringLiteral("SELECT journal_mode FROM pragma_journal_mode"), &mode);
        if (!why.isEmpty())
            return why;
        // With a rollback journal, a read held for the whole export would
        // keep every writer waiting until its end.
        if (mode.value(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            return QStringLiteral("the SQLite database has a rollback journal (journal_mode ") + mode.value(0) +
                   QStringLiteral("), and one read held for the whole export would stop every writer until its "
                                  "end; in WAL mode it would be one state");
        oneConnection = true; // two connections would begin their reads at two moments
        // A read transaction takes its state at its first read.
        return statements({QStringLiteral("BEGIN"), QStringLiteral("SELECT COUNT(*) FROM sqlite_master")});
    }
    return QStringLiteral("no way is known to read ") + (dbms.isEmpty() ? QStringLiteral("this database") : dbms) +
           QStringLiteral(" in one state");
}

// Before a read on `db` while run `generation` is in progress and `db` holds
// nothing of it.
void join(QSqlDatabase& db, quint64 generation)
{
    Run& run = theRun();
    QString snapshot;
    bool establishing = false;
    {
        const std::lock_guard lock(run.mutex);
        if (run.generation != generation || run.broken)
            return;
        if (!run.established) {
            if (t_home != generation)
                return; // before the run's first read, which fixes the state
            establishing = true;
        } else if (run.snapshot.isEmpty()) {
            return; // one connection holds it, and every read goes there
        } else {
            snapshot = run.snapshot;
        }
    }
    const QString name = db.connectionName();
    if (establishing) {
        Kind kind = Kind::PostgreSQL;
        bool oneConnection = false;
        const QString why = establish(db, kind, snapshot, oneConnection);
        if (!why.isEmpty()) {
            if (db.isOpen())
                runOwn(db, QStringLiteral("ROLLBACK")); // whatever was begun
            note(why);
            return;
        }
        threadHeld().insert(name, Held{generation, kind, false});
        const std::lock_guard lock(run.mutex);
        if (run.generation == generation) {
            run.established = true;
            run.snapshot = snapshot;
            run.oneConnection = oneConnection;
        }
        return;
    }
    // Another PostgreSQL connection: this read alone, on the same snapshot.
    threadHeld().insert(name, Held{generation, Kind::PostgreSQL, true});
    const QString why =
        runOwn(db, kBegin + QStringLiteral("; SET TRANSACTION SNAPSHOT ") + sqlQuoted(snapshot));
    if (!why.isEmpty())
        note(QStringLiteral("a connection could not take the export's snapshot (") + why.simplified() +
             QStringLiteral("; its holder's connection may have been lost), so what it read is a later state"));
}

// Ends what this thread's connections hold.
void endThreadTransactions()
{
    QHash<QString, Held>& held = threadHeld();
    for (auto it = held.cbegin(); it != held.cend(); ++it) {
        QSqlDatabase db = QSqlDatabase::database(it.key(), false);
        if (db.isValid())
            endHeld(db, it.value());
    }
    held.clear();
}

} // namespace

ConsistentRead::ConsistentRead()
{
    Run& run = theRun();
    const std::lock_guard lock(run.mutex);
    ++run.generation;
    run.established = run.broken = run.oneConnection = false;
    run.snapshot.clear();
    run.notes.clear();
    run.taken = 0;
    g_active = run.generation;
}

ConsistentRead::~ConsistentRead()
{
    g_active = 0;
    {
        Run& run = theRun();
        const std::lock_guard lock(run.mutex);
        run.oneConnection = false;
    }
    // The reading thread that holds the state ends it now; a read of another
    // thread ends its own transaction.
    if (readsLeftBehind())
        return;
    try {
        BackgroundRead<int>(homeReader(), [] {
            endThreadTransactions();
            return 0;
        }).take();
    } catch (const ReadsStopped&) {
        // The reads were stopped: the transaction ends with its connection.
    }
}

void ConsistentRead::begin(const QString& connectionString)
{
    const quint64 generation = g_active.load();
    try {
        BackgroundRead<int>(homeReader(), [connectionString, generation] {
            t_home = generation;
            Recordset first;
            first.open(QStringLiteral("SELECT 1"), connectionString);
            return 0;
        }).take();
    } catch (const Failure& failure) {
        note(QStringLiteral("its first read failed (") + failure.description() + QLatin1Char(')'));
    } catch (const ReadsStopped&) {
        // The run stops at its next read, and says why.
    }
}

QStringList ConsistentRead::takeNotes()
{
    Run& run = theRun();
    const std::lock_guard lock(run.mutex);
    const QStringList fresh = run.notes.mid(run.taken);
    run.taken = run.notes.size();
    return fresh;
}

QString ConsistentRead::noteText(const QString& why)
{
    return QStringLiteral("This export is not one state of the database: ") + why;
}

OneStateRead::OneStateRead(QSqlDatabase& db) : m_db(db)
{
    const quint64 generation = g_active.load();
    QHash<QString, Held>& held = threadHeld();
    if (!held.isEmpty()) {
        const auto found = held.constFind(db.connectionName());
        if (found != held.constEnd()) {
            if (found->generation == generation && !found->oneRead)
                return; // holds the run's state
            const Held old = found.value();
            held.erase(found); // left from a run that is over, or from a read that stopped
            endHeld(db, old);
        }
    }
    if (generation != 0)
        join(db, generation);
}

void OneStateRead::failed()
{
    // PostgreSQL's driver runs each statement inside a transaction in a
    // savepoint of its own and goes back to it when the statement fails; a
    // driver set to end the transaction instead fails the check for a lost
    // connection that follows, and the reopened connection is noted. SQLite
    // keeps a transaction through a failed SELECT. SQL Server ends it on
    // some errors, silently: the count of open transactions tells.
    const auto found = threadHeld().constFind(m_db.connectionName());
    if (found == threadHeld().constEnd() || found->kind != Kind::SqlServer)
        return;
    QStringList open;
    if (runOwn(m_db, QStringLiteral("SELECT @@TRANCOUNT"), &open).isEmpty() && open.value(0) == QLatin1String("0"))
        note(QStringLiteral("its snapshot transaction ended after a failed read"));
}

void OneStateRead::lost()
{
    const Held held = threadHeld().take(m_db.connectionName());
    if (held.generation != 0 && held.generation == g_active.load() && !held.oneRead)
        note(QStringLiteral("the connection holding its state was lost and opened again, so what was read after "
                            "that is a later state"));
}

void OneStateRead::reopened()
{
    lost();
    if (const quint64 generation = g_active.load(); generation != 0)
        join(m_db, generation); // the snapshot again, while its holder lives
}

void OneStateRead::done()
{
    QHash<QString, Held>& held = threadHeld();
    const auto found = held.find(m_db.connectionName());
    if (found == held.end() || !found->oneRead)
        return;
    held.erase(found);
    runOwn(m_db, QStringLiteral("ROLLBACK"));
}

ReadThread& readerFor(ReadThread& asked)
{
    Run& run = theRun();
    const std::lock_guard lock(run.mutex);
    return run.oneConnection && g_active.load() != 0 ? homeReader() : asked;
}

void forgetThreadTransactions()
{
    threadHeld().clear();
}

} // namespace tarnwick
