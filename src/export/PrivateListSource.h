#pragma once

#include "base/Recordset.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tarnwick {

struct AppContext;
class Failure;
class ReadThread;

// Where the private list walk gets its rows: an owner's lists, a list's
// members and a member's extension, each as the one-row query of the walk
// would give it. The walk reads them the same way whichever source it has.
class PrivateListSource
{
public:
    enum class MemberKind { Subscriber, PublicList };
    using OnDatabaseError = std::function<void(const Failure&)>;

    virtual ~PrivateListSource() = default;
    // The owner's lists, in the order the list query gives them. A query the
    // database refuses throws Failure.
    virtual Recordset lists(const QString& ownerObjectId) = 0;
    // The list's members, in the order the member query gives them; asked
    // after lists() of the list's owner.
    virtual Recordset members(const QString& listObjectId) = 0;
    // The extension of the one row the lookup finds, empty for no row or
    // several; a subscriber's without its outer blanks. A lookup the
    // database refuses goes to onDatabaseError (when given) and gives empty.
    virtual QString extension(MemberKind kind, const QString& objectId, const OnDatabaseError& onDatabaseError) = 0;
};

// One query per owner, per list and per member, as the walk is written: the
// reference the reads in sets are held to.
class PerRowQueries final : public PrivateListSource
{
public:
    explicit PerRowQueries(const QString& connectionString) : m_connectionString(connectionString) {}

    Recordset lists(const QString& ownerObjectId) override;
    Recordset members(const QString& listObjectId) override;
    QString extension(MemberKind kind, const QString& objectId, const OnDatabaseError& onDatabaseError) override;

private:
    const QString& m_connectionString; // the context's: set at start-up, read when asked
};

// The owners of a run, told in advance, read a chunk of owners at a time:
// which stored owner ids the database matches to them, their lists (one read
// of the list view, so each owner's come in the order its own query gives),
// the lists' members and each member's extension. The next chunk is read on
// a reading thread while the walk writes the current one, and the waiting
// thread keeps the windows alive. An owner not expected next, or a chunk
// whose set read failed, is asked one row at a time, so its failures read
// the same.
class ReadsInSets final : public PrivateListSource
{
public:
    ReadsInSets(const AppContext& app, const QStringList& ownerObjectIds);
    // The read in flight is waited for, then the reading thread ends.
    ~ReadsInSets() override;

    Recordset lists(const QString& ownerObjectId) override;
    Recordset members(const QString& listObjectId) override;
    QString extension(MemberKind kind, const QString& objectId, const OnDatabaseError& onDatabaseError) override;

    struct Chunk;
    struct Extensions;

private:
    struct ChunkRead;
    // The chunk holding this owner, read when its turn comes; nullptr: one row at a time.
    const Chunk* chunkFor(const QString& ownerObjectId);
    std::unique_ptr<ChunkRead> startChunkRead(qsizetype first);

    const AppContext& m_app;
    PerRowQueries m_perRow;
    QStringList m_owners;
    qsizetype m_next = 0; // the index in m_owners of the owner asked next
    // Every member id looked up so far in this run: one state of the
    // database is read throughout, so each is asked once, not per chunk.
    // Shared with the reads, which a stopped run may leave behind it.
    std::shared_ptr<Extensions> m_extensions;
    std::unique_ptr<ReadThread> m_reader; // made before and ended after the reads below
    std::unique_ptr<Chunk> m_chunk;
    std::unique_ptr<ChunkRead> m_nextChunk; // read while m_chunk is walked
    const Chunk* m_reading = nullptr;       // the chunk of the owner whose lists were asked last
};

} // namespace tarnwick
