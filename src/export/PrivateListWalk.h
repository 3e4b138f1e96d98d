#pragma once

#include "export/PrivateListSource.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace tarnwick {

struct AppContext;
class Recordset;
class TextFileWriter;

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
// the open output stream; remarks and failures go to the log. Told the
// owners of a run in advance (expectOwners), it reads them in sets
// (ReadsInSets); else, or with the context's perRowQueries, one row at a
// time (PerRowQueries). Both give the same rows and log lines.
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
    using MemberKind = PrivateListSource::MemberKind;

    PrivateListSource& source();
    void handleMember(const Recordset& lists, const Recordset& members, MemberRow row);
    QString memberExtension(MemberKind kind, const Recordset& lists, const Recordset& members);

    AppContext& m_app;
    TextFileWriter& m_tsCSVFile;
    std::unique_ptr<PrivateListSource> m_source;
    Counts m_counts;
    bool m_formulaSafe = false;
    MembershipCsv::FormulaCells m_formulas; // since the last logFormulaCells
};

} // namespace tarnwick
