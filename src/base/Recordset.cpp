#include "base/Recordset.h"

#include "base/BackgroundRead.h"
#include "base/BlockRead.h"
#include "base/ConsistentRead.h"
#include "base/Failure.h"
#include "base/StepRunner.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<qint64> g_queryCount{0};
std::atomic<int> g_connectSeconds{kDefaultConnectSeconds};
std::atomic<int> g_statementSeconds{kDefaultStatementSeconds};
std::atomic<bool> g_leftBehind{false};
thread_local bool t_readingThread = false;

// Past a limit, the driver has this long to say so itself before the
// statement is cancelled; a cancelled read that has not come back this long
// after is left behind.
constexpr auto kDriverGrace = std::chrono::seconds(1);
constexpr auto kCancelGrace = std::chrono::milliseconds(600);

// What a reading thread is waiting for, for whoever notices it is overdue
// or must be cancelled.
struct Wait
{
    bool connecting = true;
    int seconds = 0;
    QString where;
    Clock::time_point deadline;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    bool cancelled = false;
    int cancelsRunning = 0;
};

struct Reads
{
    std::mutex mutex;
    std::condition_variable cancelDone;
    std::map<quint64, Wait> waits;
    quint64 nextWait = 0;
    int stoppable = 0;
    quint64 generation = 0; // of runs: a read left behind by an earlier one stops nothing now
    std::optional<ReadsStopped> stopped;
    Clock::time_point stoppedAt;
};

Reads& reads()
{
    static Reads* const all = new Reads; // never destroyed: a thread left behind may still use it
    return *all;
}

// Under the lock. SQLCancel runs on a thread of its own: some drivers wait
// for the server to acknowledge it, and a server that is stopped never does.
void cancel(quint64 id, Wait& wait)
{
    if (wait.cancelled || wait.statement == SQL_NULL_HSTMT)
        return;
    wait.cancelled = true;
    ++wait.cancelsRunning;
    std::thread([id, statement = wait.statement] {
        SQLCancel(statement);
        Reads& all = reads();
        const std::lock_guard lock(all.mutex);
        if (auto found = all.waits.find(id); found != all.waits.end())
            --found->second.cancelsRunning;
        all.cancelDone.notify_all();
    }).detach();
}

QString limitText(const Wait& wait, const QString& cause)
{
    QString text = wait.connecting ? QStringLiteral("The database did not accept a connection within ")
                                   : QStringLiteral("The database did not answer a query within ");
    text += QString::number(wait.seconds) + QStringLiteral(" seconds (") + wait.where;
    if (!cause.isEmpty())
        text += QStringLiteral(": ") + cause.simplified(); // one line in the log
    return text + QLatin1Char(')');
}

// Under the lock: the first stop is the one told.
void stopReads(ReadsStopped stop)
{
    Reads& all = reads();
    if (all.stopped)
        return;
    all.stopped = std::move(stop);
    all.stoppedAt = Clock::now();
    for (auto& [id, wait] : all.waits)
        cancel(id, wait);
}

[[noreturn]] void raise(const ReadsStopped& stop, bool stoppable)
{
    if (stoppable)
        throw stop;
    throw Failure(ErrorNumber::DatabaseError, stop.description());
}

// The wait of one read on a reading thread, from its connection to its
// last row; whoever waits on the read sees it through the registry above.
class WaitMark
{
public:
    explicit WaitMark(const QString& where)
    {
        Reads& all = reads();
        const std::lock_guard lock(all.mutex);
        m_id = ++all.nextWait;
        m_generation = all.generation;
        all.waits[m_id].where = where;
    }
    ~WaitMark()
    {
        Reads& all = reads();
        std::unique_lock lock(all.mutex);
        // The statement is freed after this: no cancel may still hold it.
        all.cancelDone.wait(lock, [&] { return all.waits[m_id].cancelsRunning == 0; });
        all.waits.erase(m_id);
    }
    WaitMark(const WaitMark&) = delete;
    WaitMark& operator=(const WaitMark&) = delete;

    // Starts the wait for a connection, or for the statement given.
    void begin(bool connecting, int seconds, SQLHSTMT statement = SQL_NULL_HSTMT)
    {
        Reads& all = reads();
        const std::lock_guard lock(all.mutex);
        Wait& wait = all.waits[m_id];
        wait.connecting = connecting;
        wait.seconds = seconds;
        wait.deadline = Clock::now() + std::chrono::seconds(seconds) + kDriverGrace;
        wait.statement = statement;
        wait.cancelled = false;
        m_limit = wait;
        m_started.start();
    }
    // The statement is about to be freed: no cancel may still hold it. The
    // deadline stays, because freeing it can wait on the server too (a driver
    // drains what it was sent); past it, the read is left behind.
    void release()
    {
        Reads& all = reads();
        std::unique_lock lock(all.mutex);
        all.cancelDone.wait(lock, [&] { return all.waits[m_id].cancelsRunning == 0; });
        all.waits[m_id].statement = SQL_NULL_HSTMT;
    }
    // The statement is freed: no deadline.
    void end()
    {
        release();
        Reads& all = reads();
        const std::lock_guard lock(all.mutex);
        all.waits[m_id].seconds = 0;
    }
    // Whether reads have been stopped (interrupted, or a read past its limit).
    bool stopped() const
    {
        Reads& all = reads();
        const std::lock_guard lock(all.mutex);
        return all.stopped.has_value();
    }
    // A failure of the read in hand (`ranOut`: known to be its limit): when reads are stopped, or its limit
    // was met, the stop instead of the failure.
    void throwIfStopped(const QString& cause = {}, bool ranOut = false)
    {
        Reads& all = reads();
        std::unique_lock lock(all.mutex);
        // A driver that gives up at the limit may answer a little before it by this clock.
        // The limit is the one begun last: the read has ended its wait by now.
        if (!all.stopped && m_limit.seconds > 0 &&
            (ranOut || m_started.elapsed() >= qint64(m_limit.seconds) * 900))
            stopReads(ReadsStopped(ReadsStopped::Why::TimedOut, limitText(m_limit, cause)));
        if (all.stopped) {
            const ReadsStopped stop = *all.stopped;
            const bool stoppable = all.stoppable > 0;
            if (!stoppable)
                all.stopped.reset(); // the stop was this read's alone
            lock.unlock();
            raise(stop, stoppable);
        }
    }

    // The database has gone: inside a run, every read stops.
    [[noreturn]] void raiseGone(const QString& where, const QString& cause)
    {
        const ReadsStopped gone(ReadsStopped::Why::Gone, QStringLiteral("The database cannot be reached any more (") +
                                                             where + QStringLiteral("): ") + cause.simplified());
        Reads& all = reads();
        std::unique_lock lock(all.mutex);
        const bool stoppable = all.stoppable > 0 && m_generation == all.generation;
        if (stoppable)
            stopReads(gone);
        lock.unlock();
        raise(gone, stoppable);
    }

private:
    quint64 m_id = 0;
    quint64 m_generation = 0;
    Wait m_limit; // what was waited for last, and for how long
    QElapsedTimer m_started;
};

} // namespace

StoppableReads::StoppableReads()
{
    Reads& all = reads();
    const std::lock_guard lock(all.mutex);
    ++all.stoppable;
    ++all.generation;
    all.stopped.reset();
}

StoppableReads::~StoppableReads()
{
    Reads& all = reads();
    const std::lock_guard lock(all.mutex);
    --all.stoppable;
    ++all.generation;
    all.stopped.reset();
}

void setReadLimits(int connectSeconds, int statementSeconds)
{
    g_connectSeconds = qMax(1, connectSeconds);
    g_statementSeconds = qMax(1, statementSeconds);
}

void cancelReads()
{
    Reads& all = reads();
    const std::lock_guard lock(all.mutex);
    stopReads(ReadsStopped(ReadsStopped::Why::Interrupted, QStringLiteral("Interrupted")));
}

bool readsLeftBehind()
{
    return g_leftBehind;
}

void noteReadLeftBehind()
{
    g_leftBehind = true;
}

void markReadingThread()
{
    t_readingThread = true;
}

bool readWaitIsOver()
{
    Reads& all = reads();
    const std::lock_guard lock(all.mutex);
    const Clock::time_point now = Clock::now();
    for (auto& [id, wait] : all.waits) {
        if (wait.seconds > 0 && now > wait.deadline && !all.stopped)
            stopReads(ReadsStopped(ReadsStopped::Why::TimedOut, limitText(wait, {})));
    }
    return all.stopped && now - all.stoppedAt >= kCancelGrace;
}

void throwReadStop()
{
    Reads& all = reads();
    std::unique_lock lock(all.mutex);
    const ReadsStopped stop =
        all.stopped.value_or(ReadsStopped(ReadsStopped::Why::Interrupted, QStringLiteral("Interrupted")));
    const bool stoppable = all.stoppable > 0;
    if (!stoppable)
        all.stopped.reset();
    lock.unlock();
    raise(stop, stoppable);
}

namespace {

// Each thread's connections are its own, so the name carries the thread's number.
QString connectionName(const QString& connectionString)
{
    static std::atomic<int> threads{0};
    thread_local const int thread = ++threads;
    return QStringLiteral("tarnwick-")
           + QString::fromLatin1(QCryptographicHash::hash(connectionString.toUtf8(), QCryptographicHash::Sha1).toHex())
           + QLatin1Char('-') + QString::number(thread);
}

// The names of the connections this thread has made, by connection string.
QHash<QString, QString>& threadConnectionNames()
{
    thread_local QHash<QString, QString> names;
    return names;
}

// Connection strings that have been connected once in this process: failing
// to connect again means the database has gone.
std::set<QString>& connectedOnce()
{
    static std::set<QString> strings;
    return strings;
}
std::mutex g_connectedMutex;


// Where a connection string leads, for a message: its server and database,
// never its password.
QString placeOf(const QString& connectionString)
{
    QString server, port, database, dsn;
    for (const QString& pair : connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = pair.left(equals).trimmed().toLower();
        const QString value = pair.mid(equals + 1).trimmed();
        if (key == QLatin1String("server") || key == QLatin1String("servername") || key == QLatin1String("host"))
            server = value;
        else if (key == QLatin1String("port"))
            port = value;
        else if (key == QLatin1String("database"))
            database = value;
        else if (key == QLatin1String("dsn"))
            dsn = value;
    }
    QStringList parts;
    if (!server.isEmpty())
        parts.append(QStringLiteral("server ") + server + (port.isEmpty() ? QString() : QLatin1Char(':') + port));
    if (!database.isEmpty())
        parts.append(QStringLiteral("database ") + database);
    if (parts.isEmpty() && !dsn.isEmpty())
        parts.append(QStringLiteral("data source ") + dsn);
    return parts.isEmpty() ? QStringLiteral("the database") : parts.join(QStringLiteral(", "));
}

// The kind of database behind a connection, kept on its driver once known.
const char* const kBehind = "tarnwickBehind";

bool isSqlite(QSqlDatabase& db)
{
    return dbmsName(db).compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
}

// The databases behind connection strings, once connected to.
enum class Behind { Other, Sqlite, Postgres }; // Other first: a driver not yet opened here is no SQLite

Behind behindOf(const QSqlDatabase& db)
{
    return db.driver() ? Behind(db.driver()->property(kBehind).toInt()) : Behind::Other;
}
// Whether the database keeps its values within the widths its columns
// declare: SQLite keeps any value in any column.
bool widthsHold(const QSqlDatabase& db)
{
    return behindOf(db) != Behind::Sqlite;
}
// Whether SQLCancel from another thread is safe during a fetch. SQLite's
// driver closes the statement in it, under the thread stepping through its
// rows (a crash when a run was interrupted): its reads stop themselves
// between fetches instead, and its lock waits end at its busy limit.
bool cancelSafe(const QSqlDatabase& db)
{
    return behindOf(db) != Behind::Sqlite;
}
std::map<QString, Behind>& knownStrings()
{
    static std::map<QString, Behind> strings;
    return strings;
}
std::mutex g_knownMutex;

// Options of the connection string for a driver, this process's limits in them.
QString driverOptions(Behind behind)
{
    switch (behind) {
    case Behind::Sqlite:
        return QStringLiteral(";StepAPI=1;Timeout=") + QString::number(qint64(g_statementSeconds) * 1000);
    case Behind::Postgres:
        return QStringLiteral(";UseDeclareFetch=1;Fetch=4096");
    case Behind::Other:
        break;
    }
    return {};
}

// SQLite's driver gives up on a lock another program holds at the limit it
// was given, in its own words.
bool ranOutWaitingForLock(QSqlDatabase& db, const QSqlError& error)
{
    return behindOf(db) == Behind::Sqlite &&
           databaseErrorText(error).contains(QLatin1String("locked"), Qt::CaseInsensitive);
}

// Connects one thread at a time: PostgreSQL's driver sets and restores the
// process's locale while it connects, and two threads connecting at once
// read a locale name the other has freed (AddressSanitizer caught it when a
// chunk's list and member readers connected together).
bool openOneAtATime(QSqlDatabase& db)
{
    static std::mutex connecting;
    const std::lock_guard lock(connecting);
    return db.open();
}

// Opens the connection with this process's limits. SQLite waits for a lock
// another program holds through its driver's busy handler, whose limit is
// an option of the connection string: a held lock is waited for as long as
// any statement may run, then reported. The drivers of SQLite and PostgreSQL
// are also told to hand rows over as they come (SQLite's as it steps to
// them, PostgreSQL's a few thousand at a time through a cursor): by default
// each copies a whole result first, which doubled the memory of a list of a
// million members. The options are known once the database is: the first
// connection to a string is opened again with them.
bool openConnection(QSqlDatabase& db, const QString& connectionString)
{
    db.setConnectOptions(QStringLiteral("SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY;SQL_ATTR_LOGIN_TIMEOUT=") +
                         QString::number(g_connectSeconds.load()));
    std::optional<Behind> behind;
    {
        const std::lock_guard lock(g_knownMutex);
        if (const auto found = knownStrings().find(connectionString); found != knownStrings().end())
            behind = found->second;
    }
    db.setDatabaseName(behind ? connectionString + driverOptions(*behind) : connectionString);
    if (!openOneAtATime(db))
        return false;
    if (!behind) {
        behind = isSqlite(db) ? Behind::Sqlite
                 : db.driver() && db.driver()->dbmsType() == QSqlDriver::PostgreSQL ? Behind::Postgres
                                                                                     : Behind::Other;
        {
            const std::lock_guard lock(g_knownMutex);
            knownStrings()[connectionString] = *behind;
        }
        if (!driverOptions(*behind).isEmpty()) {
            db.close();
            db.setDatabaseName(connectionString + driverOptions(*behind));
            if (!openOneAtATime(db))
                return false;
        }
    }
    if (db.driver())
        db.driver()->setProperty(kBehind, int(*behind));
    // PostgreSQL lets a sequential scan of a large table begin where one
    // already under way has got to, so two exports at once would read a table
    // in two orders: the program's sessions start every scan at the beginning.
    // The rows come through a cursor, which the planner would otherwise plan
    // for its first rows, in another order than the plain query's: it plans
    // for them all. A server that refuses a setting is read as it is.
    if (behind == Behind::Postgres) {
        QSqlQuery(db).exec(QStringLiteral("SET synchronize_seqscans = off"));
        QSqlQuery(db).exec(QStringLiteral("SET cursor_tuple_fraction = 1"));
    }
    return true;
}

// One connection per connection string, opened on first use. The product
// database is only ever read, so the connection asks the driver for read-only
// access as well.
QSqlDatabase connectionFor(const QString& connectionString, WaitMark& wait, const QString& where)
{
    // Hashing the string on every query showed on point queries, so each
    // thread remembers the names it has made.
    QHash<QString, QString>& names = threadConnectionNames();
    auto known = names.constFind(connectionString);
    if (known == names.constEnd())
        known = names.insert(connectionString, connectionName(connectionString));
    const QString& name = known.value();
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
    }
    if (!db.isOpen()) {
        wait.begin(true, g_connectSeconds);
        const bool opened = openConnection(db, connectionString);
        const QString cause = opened ? QString() : databaseErrorText(db.lastError());
        wait.throwIfStopped(cause);
        const std::lock_guard lock(g_connectedMutex);
        if (opened) {
            connectedOnce().insert(connectionString);
        } else if (connectedOnce().count(connectionString) > 0) {
            // Reached before, unreachable now: gone, not one query's failure.
            wait.raiseGone(where, cause);
        } else {
            throw Failure(ErrorNumber::DatabaseError, cause);
        }
    }
    return db;
}

// The product database is only ever read. Not every driver honours the
// read-only access mode (the SQLite one does not), so a statement that is not
// a single SELECT is refused before it reaches the driver.
bool isSingleSelect(const QString& sql)
{
    const QString text = sql.trimmed();
    if (!text.startsWith(QStringLiteral("SELECT"), Qt::CaseInsensitive))
        return false;
    bool inLiteral = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\''))
            inLiteral = !inLiteral;  // a doubled quote toggles twice
        else if (c == QLatin1Char(';') && !inLiteral && !text.mid(i + 1).trimmed().isEmpty())
            return false;
    }
    return true;
}

// A connection that failed a query may have been lost: the server restarted,
// the network dropped. The driver need not say so (Qt's ODBC driver reports
// a lost PostgreSQL connection as a statement error on a handle it still
// calls open), so a failure on a connection that still claims to be open is
// followed by the cheapest query there is; when that fails too, the
// connection is gone.
bool connectionLost(QSqlDatabase& db, const QSqlError& error, WaitMark& wait)
{
    if (!db.isOpen() || error.type() == QSqlError::ConnectionError)
        return true;
    QSqlQuery probe(db);
    probe.setForwardOnly(true);
    wait.begin(false, g_connectSeconds);
    const bool answered = probe.exec(QStringLiteral("SELECT 1"));
    wait.throwIfStopped();
    return !answered;
}

// Opens a lost connection again. A server that restarts takes a few seconds
// to take connections again, so the open is tried for a while; when it never
// succeeds, the database has gone and the run that reads it stops.
void reopen(QSqlDatabase& db, const QString& connectionString, WaitMark& wait, const QString& where)
{
    db.close();
    wait.begin(true, g_connectSeconds + 10);
    const QDeadlineTimer deadline(std::chrono::seconds(10));
    for (int pause = 100; !openConnection(db, connectionString); pause = qMin(pause * 2, 1000)) {
        wait.throwIfStopped();
        if (deadline.hasExpired())
            wait.raiseGone(where, databaseErrorText(db.lastError()));
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(pause, qMax<qint64>(1, deadline.remainingTime()))));
    }
}

} // namespace

QString databaseErrorText(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Unspecified database error");
    return text;
}

// Kept for the process (its connections are reused), never waited for at its end.
ReadThread& homeReader()
{
    thread_local ReadThread* const reader = new ReadThread;
    return *reader;
}

namespace {

// Runs the query and keeps every row; the error when it fails or its rows are cut short.
QSqlError fetchAll(QSqlDatabase& db, const QString& sql, WaitMark& wait, BlockReadResult& out)
{
    out = BlockReadResult();
    ++g_queryCount;
    wait.begin(false, g_statementSeconds);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const auto done = [&](const QSqlError& error) {
        if (error.isValid())
            out = BlockReadResult();
        wait.release();
        query.clear(); // frees the statement within the read's limit
        wait.end();
        return error;
    };
    if (!query.prepare(sql))
        return done(query.lastError());
    // Prepared, not yet run: the handle takes the limit, and a cancel can reach it.
    const SQLHSTMT statement = query.result() ? odbcHandle(query.result()->handle()) : nullptr;
    if (statement) {
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(g_statementSeconds.load())), 0);
        const bool cancellable = cancelSafe(db);
        wait.begin(false, g_statementSeconds, cancellable ? statement : SQL_NULL_HSTMT);
        // Run and read through its handle.
        try {
            executePrepared(statement);
            out = readRows(statement, widthsHold(db),
                           cancellable ? std::function<bool()>() : [&wait] { return wait.stopped(); });
            return done({});
        } catch (const Failure& failure) {
            return done(QSqlError(QStringLiteral("Unable to execute statement"), failure.description(),
                                  QSqlError::StatementError));
        }
    }
    if (!query.exec())
        return done(query.lastError());
    // A driver without ODBC handles: Qt's own read.
    const QSqlRecord record = query.record();
    const int columns = record.count();
    for (int i = 0; i < columns; ++i)
        out.names.append(record.fieldName(i));
    while (query.next()) {
        for (int c = 0; c < columns; ++c) {
            const bool isNull = query.isNull(c);
            if (isNull)
                out.cells.appendNull();
            else
                out.cells.append(valueToText(query.value(c)));
        }
        ++out.rows;
    }
    // The end of the rows and a fetch that failed look alike to next(): a
    // result cut short is a failure, never a shorter answer.
    return done(query.lastError());
}

} // namespace

void Recordset::open(const QString& sql, const QString& connectionString, const std::function<void()>& whileFetching)
{
    if (m_open)
        close();
    if (!isSingleSelect(sql))
        throw Failure(ErrorNumber::DatabaseError,
                      QStringLiteral("Only a single SELECT statement may be run on the product database"));
    if (t_readingThread) {
        openHere(sql, connectionString);
        return;
    }
    // The read runs on a thread of its own, so that this one can give up on
    // it: a driver blocked on a stopped server does not come back.
    *this = BackgroundRead<Recordset>(homeReader(), [sql, connectionString] {
                Recordset rs;
                rs.openHere(sql, connectionString);
                return rs;
            }).take(whileFetching);
}

void Recordset::openHere(const QString& sql, const QString& connectionString)
{
    const QString where = placeOf(connectionString);
    WaitMark wait(where);
    wait.throwIfStopped();
    QSqlDatabase db = connectionFor(connectionString, wait, where);
    wait.begin(false, g_statementSeconds); // an export's own statements are bounded as well
    OneStateRead oneState(db);
    BlockReadResult read;
    QSqlError error = fetchAll(db, sql, wait, read);
    if (error.isValid()) {
        wait.throwIfStopped(databaseErrorText(error), ranOutWaitingForLock(db, error));
        wait.begin(false, g_statementSeconds);
        oneState.failed(); // before the check below, which a spoilt transaction would fail
    }
    if (error.isValid() && connectionLost(db, error, wait)) {
        // Opened again and tried once more; a second failure is the query's.
        reopen(db, connectionString, wait, where);
        wait.begin(false, g_statementSeconds);
        oneState.reopened();
        error = fetchAll(db, sql, wait, read);
        if (error.isValid())
            wait.throwIfStopped(databaseErrorText(error));
        if (error.isValid() && connectionLost(db, error, wait)) {
            oneState.lost();
            db.close(); // the next query starts with a fresh open
        }
    }
    if (error.isValid())
        throw Failure(ErrorNumber::DatabaseError, databaseErrorText(error));
    wait.begin(false, g_statementSeconds);
    oneState.done();
    wait.end();
    m_names = std::move(read.names);
    m_cells = std::make_shared<const CellStore>(std::move(read.cells));
    m_rowsOf = {};
    m_rows = read.rows;
    m_current = 0;
    m_open = true;
}

void Recordset::close()
{
    requireOpen();
    m_open = false;
    m_cells = {};
    m_rowsOf = {};
    m_rows = 0;
    m_current = 0;
}

void Recordset::requireOpen() const
{
    if (!m_open)
        throw Failure(ErrorNumber::ObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
}

void Recordset::requireRow() const
{
    requireOpen();
    if (m_current < 0 || m_current >= m_rows)
        throw Failure(ErrorNumber::NoCurrentRecord,
                      QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                     "Requested operation requires a current record."));
}

Recordset Recordset::rowsOf(const std::vector<qsizetype>& rows) const
{
    requireOpen();
    Recordset part;
    part.m_open = true;
    part.m_names = m_names;
    part.m_cells = m_cells;
    part.m_rowsOf.reserve(rows.size());
    for (const qsizetype row : rows)
        part.m_rowsOf.push_back(m_rowsOf.empty() ? row : m_rowsOf[size_t(row)]);
    part.m_rows = qsizetype(rows.size());
    return part;
}

qsizetype Recordset::recordCount() const
{
    requireOpen();
    return m_rows;
}

void Recordset::moveFirst()
{
    requireOpen();
    m_current = 0;
}

void Recordset::moveNext()
{
    requireRow();
    ++m_current;
}

bool Recordset::atEnd() const
{
    requireOpen();
    return m_current >= m_rows;
}

int Recordset::findColumn(const QString& name) const
{
    // A scan of a handful of names: building a hash on every open cost a point
    // query about a tenth of its time. The first column of a name wins, as it
    // does in ADO's Fields collection.
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (m_names[i].size() == name.size() && m_names[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int Recordset::column(const QString& name) const
{
    requireOpen();
    const int found = findColumn(name);
    if (found < 0)
        throw Failure(ErrorNumber::ItemNotFound,
                      QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    return found;
}

bool Recordset::hasField(const QString& name) const
{
    return m_open && findColumn(name) >= 0;
}

QVariant Recordset::value(int col) const
{
    requireRow();
    if (col < 0 || col >= m_names.size())
        throw Failure(ErrorNumber::ItemNotFound,
                      QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    return cell(m_current, col);
}

QVariant Recordset::value(const QString& name) const
{
    const int col = column(name);
    return value(col);
}

bool Recordset::isNull(const QString& name) const
{
    return value(name).isNull();
}

QString Recordset::text(const QString& name) const
{
    return valueToText(value(name));
}

QString Recordset::text(int col) const
{
    return valueToText(value(col));
}

QString valueToText(const QVariant& value)
{
    if (value.isNull())
        throw Failure(ErrorNumber::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    if (value.metaType().id() == QMetaType::QByteArray)
        return QString::fromLocal8Bit(value.toByteArray());
    return value.toString();
}

QString GetFieldString(const Recordset& recordset, const QString& fieldName)
{
    return GetFieldString(recordset, recordset.columnIndex(fieldName));
}

QString GetFieldString(const Recordset& recordset, int column)
{
    QString result;
    StepRunner().run([&] {
        const QVariant value = recordset.value(column);
        if (!value.isNull())
            result = valueToText(value);
    });
    return result;
}

void closeThreadConnections()
{
    forgetThreadTransactions();
    QHash<QString, QString>& names = threadConnectionNames();
    for (const QString& name : std::as_const(names)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    names.clear();
}

void closeDatabaseConnections()
{
    // Connections live on the reading threads that made them; one left in a
    // read that never came back is not touched.
    if (readsLeftBehind())
        return;
    if (!t_readingThread)
        BackgroundRead<int>(homeReader(), [] {
            closeThreadConnections();
            return 0;
        }).take();
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString& name : names) {
        if (name.startsWith(QStringLiteral("tarnwick-"))) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

qint64 databaseQueryCount()
{
    return g_queryCount.load();
}

} // namespace tarnwick
