#include "export/PrivateListWalk.h"

#include "base/BackgroundRead.h"
#include "base/Recordset.h"
#include "base/SqlText.h"
#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "platform/TextFileWriter.h"
#include "program/AppContext.h"

#include <QSet>

#include <array>

namespace tarnwick {

namespace {

const QString kForm = QStringLiteral("Form frmDumpInfo");

// The member's "ObjectType" compared with a number, as the database holds
// it (read as text: never cut to a narrower type); a null type matches
// nothing, a type that is not a number is a failure of the comparison.
bool objectTypeIs(const Recordset& members, int type)
{
    const QVariant value = members.value(QStringLiteral("ObjectType"));
    if (value.isNull())
        return false;
    bool ok = false;
    const double number = valueToText(value).trimmed().toDouble(&ok);
    if (!ok)
        throw Failure(13, QStringLiteral("Type mismatch"));
    return number == type;
}

} // namespace

namespace MembershipCsv {

QString field(const QString& value)
{
    bool needsQuotes = false;
    for (const QChar c : value) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString line(const MemberRow& row)
{
    const std::array<const QString*, 9> values{
        &row.ownerAlias, &row.ownerDisplayName, &row.ownerExtension,    &row.listName,       &row.listId,
        &row.memberType, &row.memberAlias,      &row.memberDisplayName, &row.memberExtension};
    qsizetype length = qsizetype(values.size());
    for (const QString* value : values)
        length += value->size() + 2; // room for quotes; one allocation for most lines
    QString out;
    out.reserve(length);
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += field(*values[i]);
    }
    return out;
}

} // namespace MembershipCsv

// What one set query read for a chunk of owners: their lists, and the lists'
// members with each member's extension, with the rows of each owner and of
// each list found by the keys the database matched them on.
struct PrivateListWalk::Chunk
{
    bool read = false; // false: a set query failed, the chunk is walked one row at a time
    QSet<QString> owners;
    Recordset lists;
    Recordset members;
    QHash<QString, std::vector<qsizetype>> listRows;   // by owner id
    QHash<QString, std::vector<qsizetype>> memberRows; // by list id
};

namespace {

const QString kListKey = QStringLiteral("TarnwickListKey");
const QString kSubscriberExtension = QStringLiteral("TarnwickSubscriberExtension");
const QString kPublicListExtension = QStringLiteral("TarnwickListExtension");

// "Exactly one row" of an extension lookup, asked of the database for every
// member at once: the one row's extension, else null. A member the database
// already knows to be of the other kind is not looked up. The rows are
// counted per id in a grouped table, which a database may build once per
// query and search in memory (SQLite took half the time of a count per
// member); one that pushes the id into the group searches its index as before.
QString singleExtensionColumn(const QString& view, const QString& idColumn, int otherKind, const QString& name)
{
    return QStringLiteral("CASE WHEN m.ObjectType = ") + QString::number(otherKind) +
           QStringLiteral(" THEN NULL ELSE (SELECT CASE WHEN x.n = 1 THEN x.e END FROM (SELECT ") + idColumn +
           QStringLiteral(" AS id, COUNT(*) AS n, MAX(DTMFAccessID) AS e FROM ") + view + QStringLiteral(" GROUP BY ") +
           idColumn + QStringLiteral(") x WHERE x.id = m.ObjectID) END AS ") + name;
}

bool insertNew(QSet<QString>& set, const QString& value)
{
    const qsizetype before = set.size();
    set.insert(value);
    return set.size() > before;
}

} // namespace

PrivateListWalk::PrivateListWalk(AppContext& app, TextFileWriter& tsCSVFile) : m_app(app), m_tsCSVFile(tsCSVFile) {}

// A chunk being read: its owners, and where the chunk after it begins.
struct PrivateListWalk::ChunkRead
{
    qsizetype first = 0;
    qsizetype next = 0; // the first owner, from here on, that this chunk does not hold
    QSet<QString> owners;
    // Read side by side, on connections of their own.
    BackgroundRead<std::unique_ptr<Chunk>> lists;
    BackgroundRead<std::unique_ptr<Chunk>> members;
};

// The reads in flight are waited for, then the reading threads end and
// close their connections.
PrivateListWalk::~PrivateListWalk() = default;

void PrivateListWalk::expectOwners(const QStringList& ownerObjectIds)
{
    m_owners = ownerObjectIds;
    m_next = 0;
    m_chunk.reset();
    m_nextChunk.reset();
}

std::unique_ptr<PrivateListWalk::ChunkRead> PrivateListWalk::startChunkRead(qsizetype first)
{
    // This owner and the next ones, up to a chunk of distinct ids.
    QStringList owners;
    QSet<QString> seen;
    qsizetype i = first;
    for (; i < m_owners.size() && owners.size() < qMax<qsizetype>(m_app.ownersPerChunk, 1); ++i) {
        if (!seen.contains(m_owners[i])) {
            seen.insert(m_owners[i]);
            owners.append(m_owners[i]);
        }
    }
    while (i < m_owners.size() && seen.contains(m_owners[i]))
        ++i;
    if (!m_memberReader) {
        m_listReader = std::make_unique<ReadThread>();
        m_memberReader = std::make_unique<ReadThread>();
    }
    const QString& connection = m_app.strConnectionString;
    BackgroundRead<std::unique_ptr<Chunk>> lists(
        *m_listReader, [owners, connection] { return readChunk(owners, connection, ChunkPart::Lists); });
    BackgroundRead<std::unique_ptr<Chunk>> members(
        *m_memberReader, [owners, connection] { return readChunk(owners, connection, ChunkPart::Members); });
    return std::make_unique<ChunkRead>(ChunkRead{first, i, std::move(seen), std::move(lists), std::move(members)});
}

const PrivateListWalk::Chunk* PrivateListWalk::chunkFor(const QString& ownerObjectId)
{
    if (m_app.perRowQueries || m_next >= m_owners.size() || m_owners[m_next] != ownerObjectId)
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
        } else {
            *read = Chunk(); // walked one row at a time
        }
        read->owners = std::move(reading->owners);
        // What is walked no more is freed only now, between two reads: freed
        // while a reading thread filled the next, it kept both threads
        // waiting on the allocator's locks.
        members.reset();
        m_chunk = std::move(read);
        // The next chunk is read while this one is walked.
        if (reading->next < m_owners.size())
            m_nextChunk = startChunkRead(reading->next);
    }
    return m_chunk->read ? m_chunk.get() : nullptr;
}

std::unique_ptr<PrivateListWalk::Chunk> PrivateListWalk::readChunk(const QStringList& owners,
                                                                   const QString& connectionString, ChunkPart part)
{
    auto chunk = std::make_unique<Chunk>();
    const QString ofOwners = QStringLiteral(" WHERE l.ParentObjectID IN ") + sqlInList(owners);
    chunk->read = StepRunner().run([&] {
        if (part == ChunkPart::Lists)
            readLists(*chunk, owners, ofOwners, connectionString);
        else
            readMembers(*chunk, ofOwners, connectionString);
    });
    return chunk;
}

void PrivateListWalk::readLists(Chunk& chunk, const QStringList& owners, const QString& ofOwners,
                                const QString& connectionString)
{
    // Which owners each stored ParentObjectID stands for, as the database
    // compares them: letter case and trailing blanks are its business.
    QHash<QString, QStringList> ownersOf;
    for (qsizetype first = 0; first < owners.size(); first += kKeysPerQuery) {
        const QStringList some = owners.mid(first, kKeysPerQuery);
        Recordset pairs;
        pairs.open(QStringLiteral("SELECT o.KeyNumber, l.ParentObjectID FROM (") + sqlKeyTable(some) +
                       QStringLiteral(") o INNER JOIN vw_PersonalDList l ON l.ParentObjectID = o.KeyText"),
                   connectionString);
        for (pairs.moveFirst(); !pairs.atEnd(); pairs.moveNext()) {
            QStringList& of = ownersOf[pairs.text(1)];
            const QString& owner = some.at(pairs.value(0).toLongLong());
            if (!of.contains(owner))
                of.append(owner);
        }
    }
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

void PrivateListWalk::readMembers(Chunk& chunk, const QString& ofOwners, const QString& connectionString)
{
    // The member fields the walk reads: a view without one fails here and
    // the chunk is walked one row at a time, which reports it as ever.
    chunk.members.open(
        // The member's id is written only beside a member without an alias:
        // for the others an empty one is read, which saves two fifths of
        // the text a chunk brings. A null id stays null.
        QStringLiteral("SELECT m.ObjectType, CASE WHEN m.Alias IS NULL THEN m.ObjectID WHEN m.ObjectID IS NULL "
                       "THEN NULL ELSE '' END AS ObjectID, m.Alias, m.DisplayName, ") +
            singleExtensionColumn(QStringLiteral("vw_Subscriber"), QStringLiteral("SubscriberObjectID"), 2,
                                  kSubscriberExtension) +
            QStringLiteral(", ") +
            singleExtensionColumn(QStringLiteral("vw_DistributionList"), QStringLiteral("SystemDListObjectID"), 1,
                                  kPublicListExtension) +
            QStringLiteral(", l.PersonalDListOBjectID AS ") + kListKey +
            QStringLiteral(" FROM vw_PersonalDList l INNER JOIN vw_PersonalDListMember m ON m.ParentObjectID = "
                           "l.PersonalDListOBjectID") +
            ofOwners,
        connectionString);
    qsizetype row = 0;
    for (chunk.members.moveFirst(); !chunk.members.atEnd(); chunk.members.moveNext(), ++row)
        chunk.memberRows[chunk.members.text(kListKey)].push_back(row);
}

void PrivateListWalk::ProcessPrivateDLMembers(const QString& ownerObjectId, const QString& ownerAlias,
                                              const QString& ownerDisplayName, const QString& ownerExtension)
{
    StepRunner steps([this](const Failure& f) {
        m_app.log.WriteToLog(ErrorText::logLine(f, QStringLiteral("ProcessPrivateDLMembers"), kForm));
    });
    const MemberRow owner{ownerAlias, ownerDisplayName, ownerExtension, {}, {}, {}, {}, {}, {}};
    ++m_counts.owners;

    const Chunk* chunk = chunkFor(ownerObjectId);
    m_reading = chunk;
    Recordset lists;
    if (chunk)
        lists = chunk->lists.rowsOf(chunk->listRows.value(ownerObjectId));
    else
        steps.run([&] {
            lists.open(QStringLiteral("SELECT * FROM vw_PersonalDList WHERE ParentObjectID=") +
                           sqlQuoted(ownerObjectId),
                       m_app.strConnectionString);
        });
    // A failed list query has been logged already; the subscriber ends quietly.
    if (!lists.isOpen())
        return;
    if (lists.recordCount() < 1) {
        m_app.log.WriteToLog(QStringLiteral("    No private lists configured for this subscriber"));
        return;
    }
    for (lists.moveFirst(); !lists.atEnd(); lists.moveNext()) {
        ++m_counts.lists;
        m_app.log.WriteToLog(QStringLiteral("        Processing private list=") +
                             GetFieldString(lists, QStringLiteral("alias")));
        Recordset members;
        steps.run([&] {
            const QString listId = lists.text(QStringLiteral("PersonalDListOBjectID"));
            if (chunk)
                members = chunk->members.rowsOf(chunk->memberRows.value(listId));
            else
                members.open(QStringLiteral("SELECT * FROM vw_PersonalDListMember WHERE ParentObjectID=") +
                                 sqlQuoted(listId),
                             m_app.strConnectionString);
        });
        if (!members.isOpen())
            continue;
        if (members.recordCount() < 1) {
            m_app.log.WriteToLog(QStringLiteral("            No members found for this private list"));
            continue;
        }
        for (members.moveFirst(); !members.atEnd(); members.moveNext())
            handleMember(lists, members, owner);
    }
}

void PrivateListWalk::handleMember(const Recordset& lists, const Recordset& members, MemberRow row)
{
    StepRunner steps([this](const Failure& f) {
        m_app.log.WriteToLog(ErrorText::logLine(f, QStringLiteral("ProcessPrivateDLMembers"), kForm));
    });
    // A failed comparison goes on into the subscriber branch, as the walk
    // always has; a type that is neither kind is passed over without a word.
    if (steps.test([&] { return objectTypeIs(members, 1); })) {
        row.memberType = kSubscriberMember;
        steps.run([&] { row.memberExtension = memberExtension(MemberKind::Subscriber, lists, members); });
    } else if (steps.value([&] { return objectTypeIs(members, 2); }).value_or(false)) {
        row.memberType = kPublicListMember;
        steps.run([&] { row.memberExtension = memberExtension(MemberKind::PublicList, lists, members); });
    } else {
        return;
    }

    // Reading the values and writing the row are one step: a failure drops the row.
    steps.run([&] {
        row.listName = GetFieldString(lists, QStringLiteral("DisplayName"));
        row.listId = GetFieldString(lists, QStringLiteral("DTMFAccessID"));
        row.memberDisplayName = GetFieldString(members, QStringLiteral("DisplayName"));
        if (members.isNull(QStringLiteral("Alias"))) {
            // Keep the member; an empty alias is better than a lost row.
            m_app.log.WriteToLog(QStringLiteral("            (warning) Member without an alias written with an empty "
                                                "MEMBER_ALIAS: member=") +
                                 row.memberDisplayName + QStringLiteral(" (ObjectID=") +
                                 GetFieldString(members, QStringLiteral("ObjectID")) +
                                 QStringLiteral(") in private list=") + GetFieldString(lists, QStringLiteral("alias")));
        } else {
            row.memberAlias = members.text(QStringLiteral("Alias"));
        }
        WriteSubInfoToFile(row);
    });
}

void PrivateListWalk::WriteSubInfoToFile(const MemberRow& row)
{
    // The writer fails once, on its first failed write, and drops every line
    // after it: told once, logged once and counted; the run then stops.
    StepRunner steps([this](const Failure& f) {
        m_app.services.ShowMessage(QStringLiteral("Error in WriteSubInfoToFile on frmDumpInfo:") +
                                   f.description());
        if (m_tsCSVFile.failure())
            m_app.log.WriteToLog(ErrorText::logLine(f, QStringLiteral("WriteSubInfoToFile"), kForm));
    });
    steps.run([&] {
        m_tsCSVFile.writeLine(MembershipCsv::line(row));
        if (m_tsCSVFile.lastLineLost())
            m_app.log.WriteToLog(
                QStringLiteral("            (warning) Written with '?' for characters the code page cannot hold: "
                               "owner=") +
                row.ownerAlias + QStringLiteral(", private list=") + row.listName + QStringLiteral(", member=") +
                row.memberDisplayName + QStringLiteral(" (alias ") + row.memberAlias + QLatin1Char(')'));
    });
    if (!m_tsCSVFile.failure().has_value())
        ++m_counts.rows;
}

QString PrivateListWalk::memberExtension(MemberKind kind, const Recordset& lists, const Recordset& members)
{
    const QString objectId = members.text(QStringLiteral("ObjectID"));
    if (m_reading) {
        const QVariant value =
            members.value(kind == MemberKind::Subscriber ? kSubscriberExtension : kPublicListExtension);
        if (value.isNull())
            return {};
        return kind == MemberKind::Subscriber ? valueToText(value).trimmed() : valueToText(value);
    }
    // "No row" and "two rows" are no failure; a lookup the database refuses is,
    // and the row it leaves without an extension is told and counted.
    return lookupExtension(kind, objectId, [&](const Failure& f) {
        m_app.log.WriteToLog(
            QStringLiteral("            (error) ") + QString::number(f.number()) + QStringLiteral(" (") +
            f.description() + QStringLiteral(") looking up the extension of member=") +
            GetFieldString(members, QStringLiteral("DisplayName")) + QStringLiteral(" (ObjectID=") + objectId +
            QStringLiteral(") in private list=") + GetFieldString(lists, QStringLiteral("alias")) +
            QStringLiteral("; written with an empty MEMBER_EXTENSION"));
    });
}

QString PrivateListWalk::GetSubscriberExtension(const QString& objectId)
{
    return lookupExtension(MemberKind::Subscriber, objectId, {});
}

QString PrivateListWalk::GetPublicListExtension(const QString& objectId)
{
    return lookupExtension(MemberKind::PublicList, objectId, {});
}

QString PrivateListWalk::lookupExtension(MemberKind kind, const QString& objectId,
                                         const std::function<void(const Failure&)>& onDatabaseError)
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
                   m_app.strConnectionString);
    });
    if (opened)
        StepRunner().run([&] {
            if (found.recordCount() == 1)
                result = kind == MemberKind::Subscriber ? found.text(0).trimmed()
                                                        : GetFieldString(found, QStringLiteral("DTMFAccessID"));
        });
    return result;
}

} // namespace tarnwick
