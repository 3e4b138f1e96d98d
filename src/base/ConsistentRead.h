#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace tarnwick {

class ReadThread;

// While one lives, the reads of the product database see the state it was in
// when begin() ran, as a dump tool does:
// - PostgreSQL: the calling thread's connection holds a REPEATABLE READ READ
//   ONLY transaction and exports its snapshot; every read on another
//   connection runs in a transaction of its own on that same snapshot;
// - SQLite in WAL mode: one read transaction on one connection, which every
//   read of the run uses (other programs go on writing);
// - SQL Server: one SNAPSHOT transaction on one connection, where the
//   database allows snapshot isolation.
// Where that cannot be had the reads go on as before, and takeNotes() says
// why, one plain line each for the log. One at a time, made by the thread
// that waits for the reads.
class ConsistentRead
{
public:
    ConsistentRead();
    // Ends the transactions the run holds.
    ~ConsistentRead();
    ConsistentRead(const ConsistentRead&) = delete;
    ConsistentRead& operator=(const ConsistentRead&) = delete;

    // Fixes the state: the run's first read, on this thread's reading thread.
    // A read that fails here is noted; the reads after it fail in their own words.
    void begin(const QString& connectionString);
    // The lines not yet taken, each saying why the export is not one state.
    QStringList takeNotes();

    static QString noteText(const QString& why);
};

// One read's part in the run's state, for the recordset, on the thread that
// runs the read: made before the statement, on the connection it uses.
// Outside a run it only ends a transaction left from one that is over.
class OneStateRead
{
public:
    explicit OneStateRead(QSqlDatabase& db);
    // The statement failed: a transaction it spoiled is made usable again.
    void failed();
    // The connection was lost and opened again, or closed: its transaction
    // went with it. Joins the state again where the database allows it.
    void reopened();
    void lost();
    // The statement is done: a transaction of this read alone ends.
    void done();

private:
    QSqlDatabase& m_db;
};

// The thread a read asked of `asked` runs on: the calling thread's own
// reading thread while the run reads on one connection.
ReadThread& readerFor(ReadThread& asked);
// Forgets the transactions of this thread's connections (they are closed).
void forgetThreadTransactions();

} // namespace tarnwick
