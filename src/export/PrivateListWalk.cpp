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
#include <utility>
#include <optional>

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

bool looksLikeFormula(const QString& value)
{
    if (value.isEmpty())
        return false;
    switch (value.front().unicode()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        return true;
    default:
        return false;
    }
}

void FormulaCells::add(const QString& value)
{
    ++count;
    if (first.size() < kNamed && !first.contains(value))
        first.append(value);
}

void FormulaCells::add(const FormulaCells& more)
{
    count += more.count;
    for (const QString& value : more.first) {
        if (first.size() < kNamed && !first.contains(value))
            first.append(value);
    }
}

QString line(const MemberRow& row, bool formulaSafe, FormulaCells* formulas)
{
    const std::array<const QString*, 9> values{
        &row.ownerAlias, &row.ownerDisplayName, &row.ownerExtension,    &row.listName,       &row.listId,
        &row.memberType, &row.memberAlias,      &row.memberDisplayName, &row.memberExtension};
    // The names and aliases: owner's alias and name, list name, member's alias and name.
    constexpr std::array<bool, 9> isName{true, true, false, true, false, false, true, true, false};
    qsizetype length = qsizetype(values.size());
    for (const QString* value : values)
        length += value->size() + 3; // room for quotes and a mark; one allocation for most lines
    QString out;
    out.reserve(length);
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        const QString& value = *values[i];
        if (!isName[i] || !looksLikeFormula(value)) {
            out += field(value);
            continue;
        }
        if (formulas)
            formulas->add(value);
        out += formulaSafe ? field(QLatin1Char('\'') + value) : field(value);
    }
    return out;
}

} // namespace MembershipCsv

// What the set queries read for a chunk of owners: their lists, the lists'
// members, and the members' extensions, with the rows of each owner and of
// each list found by the keys the database matched them on.
struct PrivateListWalk::Chunk
{
    bool read = false; // false: a set query failed, the chunk is walked one row at a time
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
// per chunk (a large run's members are much the same subscribers).
struct PrivateListWalk::Extensions
{
    QHash<QString, QVariant> subscribers;
    QHash<QString, QVariant> publicLists;
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
                      const QString& connectionString, QHash<QString, QVariant>& known)
{
    QStringList asked;
    for (const QString& id : ids) {
        if (!known.contains(id))
            asked.append(id);
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
    m_formulas = {}; // a run stopped part way left its count untold
    m_extensions = std::make_unique<Extensions>(); // another run may read another state
}

std::unique_ptr<PrivateListWalk::ChunkRead> PrivateListWalk::startChunkRead(qsizetype first)
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
    if (!m_memberReader) {
        m_listReader = std::make_unique<ReadThread>();
        m_memberReader = std::make_unique<ReadThread>();
    }
    if (!m_extensions)
        m_extensions = std::make_unique<Extensions>();
    const QString& connection = m_app.strConnectionString;
    BackgroundRead<std::unique_ptr<Chunk>> lists(
        *m_listReader, [owners, connection] { return readChunk(owners, connection, ChunkPart::Lists, nullptr); });
    BackgroundRead<std::unique_ptr<Chunk>> members(
        *m_memberReader, [owners, connection, known = m_extensions.get(), idCharacters = m_app.idCharactersPerChunk] {
            return readChunk(owners, connection, ChunkPart::Members, known, idCharacters);
        });
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
            read->subscriberExtensions = std::move(members->subscriberExtensions);
            read->publicListExtensions = std::move(members->publicListExtensions);
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
                                                                   const QString& connectionString, ChunkPart part,
                                                                   Extensions* known, qsizetype idCharacters)
{
    auto chunk = std::make_unique<Chunk>();
    const QString ofOwners = QStringLiteral(" WHERE l.ParentObjectID IN ") + sqlInList(owners);
    chunk->read = StepRunner().run([&] {
        if (part == ChunkPart::Lists)
            readLists(*chunk, owners, ofOwners, connectionString);
        else
            readMembers(*chunk, ofOwners, connectionString, *known, idCharacters);
    });
    return chunk;
}

void PrivateListWalk::readLists(Chunk& chunk, const QStringList& owners, const QString& ofOwners,
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

void PrivateListWalk::readMembers(Chunk& chunk, const QString& ofOwners, const QString& connectionString,
                                  Extensions& known, qsizetype idCharacters)
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
    lookUpExtensions(subscribers, QStringLiteral("vw_Subscriber"), QStringLiteral("SubscriberObjectID"),
                     connectionString, known.subscribers);
    lookUpExtensions(publicLists, QStringLiteral("vw_DistributionList"), QStringLiteral("SystemDListObjectID"),
                     connectionString, known.publicLists);
    // Shared with the walk, which only reads them; the next chunk's look-ups
    // add to copies of their own.
    chunk.subscriberExtensions = known.subscribers;
    chunk.publicListExtensions = known.publicLists;
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
    MembershipCsv::FormulaCells formulas;
    steps.run([&] {
        m_tsCSVFile.writeLine(MembershipCsv::line(row, m_formulaSafe, &formulas));
        if (m_tsCSVFile.lastLineLost())
            m_app.log.WriteToLog(
                QStringLiteral("            (warning) Written with '?' for characters the code page cannot hold: "
                               "owner=") +
                row.ownerAlias + QStringLiteral(", private list=") + row.listName + QStringLiteral(", member=") +
                row.memberDisplayName + QStringLiteral(" (alias ") + row.memberAlias + QLatin1Char(')'));
    });
    if (m_tsCSVFile.failure().has_value())
        return;
    ++m_counts.rows;
    if (formulas.count > 0) {
        m_counts.formulaCells += formulas.count;
        m_formulas.add(formulas);
    }
}

void PrivateListWalk::logFormulaCells()
{
    const MembershipCsv::FormulaCells formulas = std::exchange(m_formulas, {});
    if (formulas.count == 0)
        return;
    // The values as they are, their control characters shown, long ones cut.
    QStringList shown;
    for (QString value : formulas.first) {
        value.replace(QLatin1Char('\t'), QStringLiteral("\\t"))
            .replace(QLatin1Char('\r'), QStringLiteral("\\r"))
            .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        if (value.size() > 60)
            value = value.left(57) + QStringLiteral("...");
        shown << QLatin1Char('"') + value + QLatin1Char('"');
    }
    // Not an error nor a warning: the file is as the database holds it.
    m_app.log.WriteToLog(QStringLiteral("Names and aliases a spreadsheet would read as formulas (beginning with =, +, "
                                        "-, @, tab or CR): ") +
                         QString::number(formulas.count) +
                         (m_formulaSafe ? QStringLiteral(", written after a ' so that they read as text")
                                        : QStringLiteral(", written as they are")) +
                         QStringLiteral("; the first: ") + shown.join(QStringLiteral(", ")));
}

QString PrivateListWalk::memberExtension(MemberKind kind, const Recordset& lists, const Recordset& members)
{
    const QString objectId = members.text(QStringLiteral("ObjectID"));
    if (m_reading) {
        const QVariant value =
            (kind == MemberKind::Subscriber ? m_reading->subscriberExtensions : m_reading->publicListExtensions)
                .value(objectId);
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
