#include "export/PrivateListSource.h"

#include "base/BackgroundRead.h"
#include "base/SqlText.h"
#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "program/AppContext.h"

#include <QHash>
#include <QSet>

#include <optional>
#include <utility>
#include <vector>

namespace tarnwick {

Recordset PerRowQueries::lists(const QString& ownerObjectId)
{
    Recordset lists;
    lists.open(QStringLiteral("SELECT * FROM vw_PersonalDList WHERE ParentObjectID=") + sqlQuoted(ownerObjectId),
               m_connectionString);
    return lists;
}

Recordset PerRowQueries::members(const QString& listObjectId)
{
    Recordset members;
    members.open(QStringLiteral("SELECT * FROM vw_PersonalDListMember WHERE ParentObjectID=") +
                     sqlQuoted(listObjectId),
                 m_connectionString);
    return members;
}

QString PerRowQueries::extension(MemberKind kind, const QString& objectId, const OnDatabaseError& onDatabaseError)
{
    // No row, two rows or a null extension leave it empty without a word.
    QString result;
    Recordset found;
    const bool opened = StepRunner(onDatabaseError).run([&] {
        found.open(kind == MemberKind::Subscriber
                       ? QStringLiteral("SELECT DTMFAccessID FROM vw_Subscriber WHERE SubscriberObjectID=") +
                             sqlQuoted(objectId)
                       : QStringLiteral("SELECT DTMFAccessID FROM vw_DistributionList WHERE SystemDListObjectID=") +
                             sqlQuoted(objectId),
                   m_connectionString);
    });
    if (opened)
        StepRunner().run([&] {
            if (found.recordCount() == 1)
                result = kind == MemberKind::Subscriber ? found.text(0).trimmed() : GetFieldString(found, 0);
        });
    return result;
}

// What the set queries read for a chunk of owners: their lists, the lists'
// members, and the members' extensions, with the rows of each owner and of
// each list found by the keys the database matched them on.
struct ReadsInSets::Chunk
{
    bool read = false; // false: a set query failed, the chunk is asked one row at a time
    QSet<QString> owners;
    Recordset lists;
    Recordset members;
    QHash<QString, std::vector<qsizetype>> listRows;   // by owner id
    QHash<QString, std::vector<qsizetype>> memberRows; // by list id
    // By a member's ObjectID as stored: the extension of the one row its
    // lookup finds, null when it finds no row or several.
    QHash<QString, QVariant> subscriberExtensions;
    QHash<QString, QVariant> publicListExtensions;
};

// Every id looked up so far in a run, as in a chunk: one state of the
// database is read throughout, so each member id is asked once, not once
// per chunk (a large run's members are much the same subscribers). Only while
// they stay small: a run of very long ids would hold every one to its end.
struct ReadsInSets::Extensions
{
    QHash<QString, QVariant> subscribers;
    QHash<QString, QVariant> publicLists;
    qsizetype characters = 0; // of the ids in both
};

namespace {

const QString kListKey = QStringLiteral("TarnwickListKey");

// Asks `before` + "(a key table of `keys`) o" + `after` of the database, a
// batch of keys at a time; each row goes to `handle` with its key, found by
// the row's first column, the key's number.
void forEachKeyed(const QStringList& keys, const QString& before, const QString& after, const QString& connectionString,
                  const std::function<void(const QString&, const Recordset&)>& handle)
{
    for (qsizetype first = 0, n = 0; first < keys.size(); first += n) {
        n = keysInBatch(keys, first, kKeysPerQuery);
        const QStringList some = keys.mid(first, n);
        Recordset rows;
        rows.open(before + QLatin1Char('(') + sqlKeyTable(some) + QStringLiteral(") o") + after, connectionString);
        for (rows.moveFirst(); !rows.atEnd(); rows.moveNext())
            handle(some.at(rows.value(0).toLongLong()), rows);
    }
}

// Looks up the extensions of the ids not yet in `known`, a set of ids at
// once, and adds them: the one row's extension where the lookup finds
// exactly one row, as the lookup of a single member takes it; else null.
void lookUpExtensions(const QSet<QString>& ids, const QString& view, const QString& idColumn,
                      const QString& connectionString, QHash<QString, QVariant>& known, qsizetype& characters)
{
    QStringList asked;
    for (const QString& id : ids) {
        if (!known.contains(id)) {
            asked.append(id);
            characters += id.size();
        }
    }
    QHash<QString, QVariant> found;
    QSet<QString> twice;
    forEachKeyed(asked, QStringLiteral("SELECT o.KeyNumber, x.DTMFAccessID FROM "),
                 QStringLiteral(" INNER JOIN ") + view + QStringLiteral(" x ON x.") + idColumn +
                     QStringLiteral(" = o.KeyText"),
                 connectionString, [&](const QString& id, const Recordset& row) {
                     if (found.contains(id))
                         twice.insert(id);
                     else
                         found.insert(id, row.value(1));
                 });
    for (const QString& id : std::as_const(asked))
        known.insert(id, twice.contains(id) ? QVariant() : found.value(id));
}

bool insertNew(QSet<QString>& set, const QString& value)
{
    const qsizetype before = set.size();
    set.insert(value);
    return set.size() > before;
}


void readLists(ReadsInSets::Chunk& chunk, const QStringList& owners, const QString& ofOwners,
                                const QString& connectionString)
{
    // Which owners each stored ParentObjectID stands for, as the database
    // compares them: letter case and trailing blanks are its business.
    QHash<QString, QStringList> ownersOf;
    forEachKeyed(owners, QStringLiteral("SELECT o.KeyNumber, l.ParentObjectID FROM "),
                 QStringLiteral(" INNER JOIN vw_PersonalDList l ON l.ParentObjectID = o.KeyText"), connectionString,
                 [&](const QString& owner, const Recordset& pair) {
                     QStringList& of = ownersOf[pair.text(1)];
                     if (!of.contains(owner))
                         of.append(owner);
                 });
    // The lists themselves from one table read, without a join, so that
    // each owner's come in the order its own query would give them.
    chunk.lists.open(QStringLiteral("SELECT l.* FROM vw_PersonalDList l") + ofOwners, connectionString);
    QSet<QString> listIds;
    qsizetype row = 0;
    for (chunk.lists.moveFirst(); !chunk.lists.atEnd(); chunk.lists.moveNext(), ++row) {
        const QVariant parent = chunk.lists.value(QStringLiteral("ParentObjectID"));
        if (!parent.isNull()) {
            for (const QString& owner : ownersOf.value(valueToText(parent)))
                chunk.listRows[owner].push_back(row);
        }
        // A list read twice (for two owners, or twice for one) would
        // bring its members twice: such a chunk is walked one row at a time.
        const QVariant id = chunk.lists.value(QStringLiteral("PersonalDListOBjectID"));
        if (!id.isNull() && !insertNew(listIds, valueToText(id)))
            throw Failure(ErrorNumber::DatabaseError, QStringLiteral("A private list read twice"));
    }
}

void readMembers(ReadsInSets::Chunk& chunk, const QString& ofOwners, const QString& connectionString,
                                  ReadsInSets::Extensions& known, qsizetype idCharacters)
{
    QStringList listIds;
    {
        qsizetype characters = 0;
        QSet<QString> seen;
        Recordset lists;
        lists.open(QStringLiteral("SELECT l.PersonalDListOBjectID FROM vw_PersonalDList l") + ofOwners,
                   connectionString);
        for (lists.moveFirst(); !lists.atEnd(); lists.moveNext()) {
            if (!lists.value(0).isNull() && insertNew(seen, lists.text(0))) {
                listIds.append(lists.text(0));
                characters += listIds.back().size();
            }
        }
        // Owners of many lists with long ids: their members are asked one
        // list at a time rather than with a statement of megabytes.
        if (characters > 4 * qMax<qsizetype>(idCharacters, 1))
            throw Failure(ErrorNumber::DatabaseError, QStringLiteral("The lists' ids are too long to read together"));
    }
    if (listIds.isEmpty())
        return;
    // The members with a plain filtered read of their view, without a join
    // or a sub-query: the database scans the view as it does for one list's
    // member query, so each list's members come in the order that query
    // gives them, whatever indexes and plans there are. The member fields
    // the walk reads: a view without one fails here and the chunk is walked
    // one row at a time, which reports it as ever.
    chunk.members.open(QStringLiteral("SELECT m.ObjectType, m.ObjectID, m.Alias, m.DisplayName, m.ParentObjectID AS ") +
                           kListKey + QStringLiteral(" FROM vw_PersonalDListMember m WHERE m.ParentObjectID IN ") +
                           sqlInList(listIds),
                       connectionString);
    // Which lists each stored ParentObjectID stands for, and which ids to
    // look up as which kind of member: the database does every match.
    QSet<QString> parents, subscribers, publicLists;
    const int typeColumn = chunk.members.columnIndex(QStringLiteral("ObjectType"));
    const int idColumn = chunk.members.columnIndex(QStringLiteral("ObjectID"));
    const int keyColumn = chunk.members.columnIndex(kListKey);
    // A list's members mostly come one after another: their list's id is
    // looked at once for them all.
    std::optional<QString> previous;
    for (chunk.members.moveFirst(); !chunk.members.atEnd(); chunk.members.moveNext()) {
        if (!chunk.members.value(keyColumn).isNull()) {
            if (QString parent = chunk.members.text(keyColumn); parent != previous) {
                parents.insert(parent);
                previous = std::move(parent);
            }
        }
        if (chunk.members.value(idColumn).isNull())
            continue;
        bool isNumber = false;
        const qlonglong type = chunk.members.value(typeColumn).toLongLong(&isNumber);
        if (!isNumber || type != 2)
            subscribers.insert(chunk.members.text(idColumn));
        if (!isNumber || type != 1)
            publicLists.insert(chunk.members.text(idColumn));
    }
    QHash<QString, QStringList> listsOf;
    forEachKeyed(QStringList(parents.cbegin(), parents.cend()),
                 QStringLiteral("SELECT o.KeyNumber, l.PersonalDListOBjectID FROM "),
                 QStringLiteral(" INNER JOIN vw_PersonalDList l ON l.PersonalDListOBjectID = o.KeyText"),
                 connectionString, [&](const QString& parent, const Recordset& pair) {
                     if (!pair.value(1).isNull())
                         listsOf[parent].append(pair.text(1));
                 });
    // Every list's entry made first, so that none moves while rows are added.
    for (const QStringList& lists : std::as_const(listsOf)) {
        for (const QString& list : lists)
            chunk.memberRows[list];
    }
    std::vector<std::vector<qsizetype>*> into;
    previous.reset();
    qsizetype row = 0;
    for (chunk.members.moveFirst(); !chunk.members.atEnd(); chunk.members.moveNext(), ++row) {
        if (chunk.members.value(keyColumn).isNull())
            continue;
        if (QString parent = chunk.members.text(keyColumn); parent != previous) {
            into.clear();
            for (const QString& list : listsOf.value(parent))
                into.push_back(&chunk.memberRows[list]);
            previous = std::move(parent);
        }
        for (std::vector<qsizetype>* rows : into)
            rows->push_back(row);
    }
    // Sixteen chunks' worth of ids (4 Mi characters by default); the ids of the
    // chunks being walked live on in their copies.
    if (known.characters > 16 * qMax<qsizetype>(idCharacters, 1))
        known = {};
    lookUpExtensions(subscribers, QStringLiteral("vw_Subscriber"), QStringLiteral("SubscriberObjectID"),
                     connectionString, known.subscribers, known.characters);
    lookUpExtensions(publicLists, QStringLiteral("vw_DistributionList"), QStringLiteral("SystemDListObjectID"),
                     connectionString, known.publicLists, known.characters);
    // Shared with the walk, which only reads them; the next chunk's look-ups
    // add to copies of their own.
    chunk.subscriberExtensions = known.subscribers;
    chunk.publicListExtensions = known.publicLists;
}

} // namespace

// A chunk being read: its owners, and where the chunk after it begins.
struct ReadsInSets::ChunkRead
{
    qsizetype first = 0;
    qsizetype next = 0; // the first owner, from here on, that this chunk does not hold
    QSet<QString> owners;
    BackgroundRead<std::unique_ptr<Chunk>> lists;
    BackgroundRead<std::unique_ptr<Chunk>> members;
};

ReadsInSets::ReadsInSets(const AppContext& app, const QStringList& ownerObjectIds)
    : m_app(app), m_perRow(app.strConnectionString), m_owners(ownerObjectIds),
      m_extensions(std::make_shared<Extensions>())
{
}

ReadsInSets::~ReadsInSets() = default;

std::unique_ptr<ReadsInSets::ChunkRead> ReadsInSets::startChunkRead(qsizetype first)
{
    // This owner and the next ones, up to a chunk of distinct ids, by their
    // number and their length.
    QStringList owners;
    QSet<QString> seen;
    qsizetype i = first;
    qsizetype characters = 0;
    for (; i < m_owners.size() && owners.size() < qMax<qsizetype>(m_app.ownersPerChunk, 1) &&
           (owners.isEmpty() || characters < m_app.idCharactersPerChunk);
         ++i) {
        if (!seen.contains(m_owners[i])) {
            seen.insert(m_owners[i]);
            owners.append(m_owners[i]);
            characters += m_owners[i].size();
        }
    }
    while (i < m_owners.size() && seen.contains(m_owners[i]))
        ++i;
    if (!m_reader)
        m_reader = std::make_unique<ReadThread>();
    // The lists, then the members, each a read of its own on the one reading thread.
    const auto reading = [owners, connection = m_app.strConnectionString, known = m_extensions,
                          idCharacters = m_app.idCharactersPerChunk](bool lists) {
        auto chunk = std::make_unique<Chunk>();
        const QString ofOwners = QStringLiteral(" WHERE l.ParentObjectID IN ") + sqlInList(owners);
        chunk->read = StepRunner().run([&] {
            if (lists)
                readLists(*chunk, owners, ofOwners, connection);
            else
                readMembers(*chunk, ofOwners, connection, *known, idCharacters);
        });
        return chunk;
    };
    BackgroundRead<std::unique_ptr<Chunk>> lists(*m_reader, [reading] { return reading(true); });
    BackgroundRead<std::unique_ptr<Chunk>> members(*m_reader, [reading] { return reading(false); });
    return std::make_unique<ChunkRead>(ChunkRead{first, i, std::move(seen), std::move(lists), std::move(members)});
}

const ReadsInSets::Chunk* ReadsInSets::chunkFor(const QString& ownerObjectId)
{
    if (m_next >= m_owners.size() || m_owners[m_next] != ownerObjectId)
        return nullptr; // not the owner expected next: asked one row at a time
    const qsizetype at = m_next++;
    if (!m_chunk || !m_chunk->owners.contains(ownerObjectId)) {
        std::unique_ptr<ChunkRead> reading = std::move(m_nextChunk);
        if (!reading || reading->first != at)
            reading = startChunkRead(at);
        // Reading a chunk takes a while (seconds over a slow network): the
        // windows are kept alive meanwhile, and Exit is heard.
        std::unique_ptr<Chunk> read = reading->lists.take([this] { m_app.ui.yield(); });
        std::unique_ptr<Chunk> members = reading->members.take([this] { m_app.ui.yield(); });
        if (read->read && members->read) {
            read->members = std::move(members->members);
            read->memberRows = std::move(members->memberRows);
            read->subscriberExtensions = std::move(members->subscriberExtensions);
            read->publicListExtensions = std::move(members->publicListExtensions);
        } else {
            *read = Chunk(); // asked one row at a time
        }
        members.reset();
        read->owners = std::move(reading->owners);
        // What is walked no more is freed only now, between two reads: freed
        // while the reading thread filled the next, it kept both threads
        // waiting on the allocator's locks.
        m_chunk = std::move(read);
        // The next chunk is read while this one is walked.
        if (reading->next < m_owners.size())
            m_nextChunk = startChunkRead(reading->next);
    }
    return m_chunk->read ? m_chunk.get() : nullptr;
}

Recordset ReadsInSets::lists(const QString& ownerObjectId)
{
    m_reading = chunkFor(ownerObjectId);
    if (!m_reading)
        return m_perRow.lists(ownerObjectId);
    return m_reading->lists.rowsOf(m_reading->listRows.value(ownerObjectId));
}

Recordset ReadsInSets::members(const QString& listObjectId)
{
    if (!m_reading)
        return m_perRow.members(listObjectId);
    return m_reading->members.rowsOf(m_reading->memberRows.value(listObjectId));
}

QString ReadsInSets::extension(MemberKind kind, const QString& objectId, const OnDatabaseError& onDatabaseError)
{
    if (!m_reading)
        return m_perRow.extension(kind, objectId, onDatabaseError);
    const QVariant value =
        (kind == MemberKind::Subscriber ? m_reading->subscriberExtensions : m_reading->publicListExtensions)
            .value(objectId);
    if (value.isNull())
        return {};
    return kind == MemberKind::Subscriber ? valueToText(value).trimmed() : valueToText(value);
}

} // namespace tarnwick
