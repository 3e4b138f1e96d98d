#pragma once

#include <QString>

#include <functional>

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
// The nine fields, separated by bare commas.
QString line(const MemberRow& row);
} // namespace MembershipCsv

inline const QString kSubscriberMember = QStringLiteral("SUBSCRIBER");
inline const QString kPublicListMember = QStringLiteral("PUBLIC LIST");

// Walks the private lists one subscriber owns and writes a row per member to
// the open output stream; remarks and failures go to the log.
class PrivateListWalk
{
public:
    PrivateListWalk(AppContext& app, TextFileWriter& tsCSVFile);

    void ProcessPrivateDLMembers(const QString& ownerObjectId, const QString& ownerAlias,
                                 const QString& ownerDisplayName, const QString& ownerExtension);
    void WriteSubInfoToFile(const MemberRow& row);
    // Empty when the lookup finds no row, or more than one.
    QString GetSubscriberExtension(const QString& objectId);
    QString GetPublicListExtension(const QString& objectId);

    // What the walk has done since it was made, for the command's summary.
    struct Counts
    {
        qint64 owners = 0; // ProcessPrivateDLMembers calls
        qint64 lists = 0;  // private lists walked
        qint64 rows = 0;   // lines written
    };
    const Counts& counts() const { return m_counts; }

private:
    void handleMember(const Recordset& lists, const Recordset& members, MemberRow row);
    QString singleExtension(const QString& sql,
                            const std::function<QString(const Recordset&)>& read);

    AppContext& m_app;
    TextFileWriter& m_tsCSVFile;
    Counts m_counts;
};

} // namespace tarnwick
