#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tarnwick {

struct AppContext;
class ReadThread;
class Recordset;
class TextFileWriter;
class Failure;

// One row of the output file: one member of one private list.
struct MemberRow
{
    QString ownerAlias;
    QString ownerDisplayName;
    QString ownerExtension;
    QString listName;
    QString listId;
    QString memberType;
    QString memberAlias;
    QString memberDisplayName;
    QString memberExtension;
};

// The output file's format: its header line and one line per member.
namespace MembershipCsv {
// Comma and one blank between the names, as the file has always begun.
inline const QString kHeader = QStringLiteral("OWNER_ALIAS, OWNER_DISPLAY_NAME, OWNER_EXTENSION, "
                                              "LIST_NAME, LIST_ID, MEMBER_TYPE, MEMBER_ALIAS, "
                                              "MEMBER_DISPLAY_NAME, MEMBER_EXTENSION");
// A field holding a comma, a double quote, CR or LF goes between double
// quotes with its inner quotes doubled; any other field stays bare.
QString field(const QString& value);
// A value a spreadsheet would evaluate rather than show: it begins with =,
// +, -, @, tab or CR. Only names and aliases are looked at; ids and
// extensions are numbers a spreadsheet may read as numbers.
bool looksLikeFormula(const QString& value);
// The names and aliases that looked like formulas, as line() met them.
struct FormulaCells
{
    static constexpr qsizetype kNamed = 3;
    qint64 count = 0;
    QStringList first; // the first few distinct values
    void add(const QString& value);
    void add(const FormulaCells& more);
};
// The nine fields, separated by bare commas. A name or alias that looks like
// a formula is counted in `formulas` when given; with formulaSafe it is
// written after a ', which spreadsheets take as "this is text".
QString line(const MemberRow& row, bool formulaSafe = false, FormulaCells* formulas = nullptr);
} // namespace MembershipCsv

inline const QString kSubscriberMember = QStringLiteral("SUBSCRIBER");
inline const QString kPublicListMember = QStringLiteral("PUBLIC LIST");

// Walks the private lists one subscriber owns and writes a row per member to
// the open output stream; remarks and failures go to the log.
//
// Told the owners of a run in advance (expectOwners), it reads them in sets,
// a chunk of owners at a time: which stored owner ids the database matches to
// them, their lists (one read of the list view, so each owner's come in the
// order its own query gives), and the lists' members with each member's
// extension; then it walks what it read, writing the same rows and log lines
// as the walk that asks one row at a time. A chunk whose set query fails is
// walked one row at a time, so its failures read the same. A chunk's lists
// and its members are read side by side on two threads, each keeping its
// connection from chunk to chunk; the next chunk is read while this thread
// walks the current one, and this thread keeps the windows alive while it
// waits. The context's perRowQueries keeps the one-row-at-a-time walk
// throughout.
class PrivateListWalk
{
public:
    PrivateListWalk(AppContext& app, TextFileWriter& tsCSVFile);
    ~PrivateListWalk();

    // The object ids ProcessPrivateDLMembers will be called with, in that order.
    void expectOwners(const QStringList& ownerObjectIds);

    void ProcessPrivateDLMembers(const QString& ownerObjectId, const QString& ownerAlias,
                                 const QString& ownerDisplayName, const QString& ownerExtension);
    void WriteSubInfoToFile(const MemberRow& row);
    // Names and aliases that look like formulas are written after a '.
    void setFormulaSafe(bool on) { m_formulaSafe = on; }
    // One plain log line (neither an error nor a warning) with the number of
    // such cells written since the last call and the first few; none when
    // there were none.
    void logFormulaCells();
    // Empty when the lookup finds no row, or more than one.
    QString GetSubscriberExtension(const QString& objectId);
    QString GetPublicListExtension(const QString& objectId);

    // What the walk has done since it was made, for the command's summary.
    struct Counts
    {
        qint64 owners = 0;       // ProcessPrivateDLMembers calls
        qint64 lists = 0;        // private lists walked
        qint64 rows = 0;         // lines written
        qint64 formulaCells = 0; // names and aliases written that look like formulas
    };
    const Counts& counts() const { return m_counts; }

private:
    struct Chunk;
    struct ChunkRead;
    struct Extensions;
    enum class MemberKind { Subscriber, PublicList };

    void handleMember(const Recordset& lists, const Recordset& members, MemberRow row);
    QString memberExtension(MemberKind kind, const Recordset& lists, const Recordset& members);
    QString lookupExtension(MemberKind kind, const QString& objectId,
                            const std::function<void(const Failure&)>& onDatabaseError);
    // The chunk holding this owner, read when its turn comes; nullptr walks it one row at a time.
    const Chunk* chunkFor(const QString& ownerObjectId);
    // Starts reading the chunk whose first owner is m_owners[first].
    std::unique_ptr<ChunkRead> startChunkRead(qsizetype first);
    // A chunk's lists and its members are read side by side, each on a
    // thread of its own, so that a read holds nothing of the walk's.
    enum class ChunkPart { Lists, Members };
    static std::unique_ptr<Chunk> readChunk(const QStringList& owners, const QString& connectionString, ChunkPart part,
                                            Extensions* known, qsizetype idCharacters = 0);
    static void readLists(Chunk& chunk, const QStringList& owners, const QString& ofOwners,
                          const QString& connectionString);
    // More than 4 x `idCharacters` of list ids: the chunk is walked one row at a time.
    static void readMembers(Chunk& chunk, const QString& ofOwners, const QString& connectionString, Extensions& known,
                            qsizetype idCharacters);

    AppContext& m_app;
    TextFileWriter& m_tsCSVFile;
    QStringList m_owners;
    qsizetype m_next = 0; // the index in m_owners of the owner the next call is for
    // The extensions looked up so far in this run, kept by the thread that
    // reads members: made before and ended after the reads below.
    std::unique_ptr<Extensions> m_extensions;
    // Read every chunk's lists and members, one chunk after another, each
    // keeping its connection; made before and ended after the reads below.
    std::unique_ptr<ReadThread> m_listReader;
    std::unique_ptr<ReadThread> m_memberReader;
    std::unique_ptr<Chunk> m_chunk;
    std::unique_ptr<ChunkRead> m_nextChunk; // read while m_chunk is walked
    const Chunk* m_reading = nullptr; // the chunk of the owner being walked
    Counts m_counts;
    bool m_formulaSafe = false;
    MembershipCsv::FormulaCells m_formulas; // since the last logFormulaCells
};

} // namespace tarnwick
