#include "export/PrivateListWalk.h"

#include "app/AppContext.h"
#include "app/Recordset.h"
#include "app/SqlText.h"
#include "app/StepRunner.h"
#include "platform/TextFileWriter.h"

#include <array>

namespace tarnwick {

namespace {

const QString kForm = QStringLiteral("Form frmDumpInfo");

// The member's "ObjectType" compared with a number; a null type matches
// nothing, a type that is not a number is a failure of the comparison.
bool objectTypeIs(const Recordset& members, int type)
{
    const QVariant value = members.value(QStringLiteral("ObjectType"));
    if (value.isNull())
        return false;
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
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
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') ||
            c == QLatin1Char('\n')) {
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
        &row.ownerAlias,     &row.ownerDisplayName, &row.ownerExtension, &row.listName,
        &row.listId,         &row.memberType,       &row.memberAlias,    &row.memberDisplayName,
        &row.memberExtension};
    QString out;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += field(*values[i]);
    }
    return out;
}

} // namespace MembershipCsv

PrivateListWalk::PrivateListWalk(AppContext& app, TextFileWriter& tsCSVFile)
    : m_app(app), m_tsCSVFile(tsCSVFile)
{
}

void PrivateListWalk::ProcessPrivateDLMembers(const QString& ownerObjectId,
                                              const QString& ownerAlias,
                                              const QString& ownerDisplayName,
                                              const QString& ownerExtension)
{
    StepRunner steps([this](const Failure& f) {
        m_app.log.WriteToLog(
            ErrorText::logLine(f, QStringLiteral("ProcessPrivateDLMembers"), kForm));
    });
    const MemberRow owner{ownerAlias, ownerDisplayName, ownerExtension, {}, {}, {}, {}, {}, {}};
    ++m_counts.owners;

    Recordset lists;
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
            members.open(
                QStringLiteral("SELECT * FROM vw_PersonalDListMember WHERE ParentObjectID=") +
                    sqlQuoted(lists.text(QStringLiteral("PersonalDListOBjectID"))),
                m_app.strConnectionString);
        });
        if (!members.isOpen())
            continue;
        if (members.recordCount() < 1) {
            m_app.log.WriteToLog(
                QStringLiteral("            No members found for this private list"));
            continue;
        }
        for (members.moveFirst(); !members.atEnd(); members.moveNext())
            handleMember(lists, members, owner);
    }
}

void PrivateListWalk::handleMember(const Recordset& lists, const Recordset& members, MemberRow row)
{
    StepRunner steps([this](const Failure& f) {
        m_app.log.WriteToLog(
            ErrorText::logLine(f, QStringLiteral("ProcessPrivateDLMembers"), kForm));
    });
    // A failed comparison goes on into the subscriber branch, as the walk
    // always has; a type that is neither kind is passed over without a word.
    if (steps.test([&] { return objectTypeIs(members, 1); })) {
        row.memberType = kSubscriberMember;
        steps.run([&] {
            row.memberExtension = GetSubscriberExtension(members.text(QStringLiteral("ObjectID")));
        });
    } else if (steps.value([&] { return objectTypeIs(members, 2); }).value_or(false)) {
        row.memberType = kPublicListMember;
        steps.run([&] {
            row.memberExtension = GetPublicListExtension(members.text(QStringLiteral("ObjectID")));
        });
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
            m_app.log.WriteToLog(
                QStringLiteral(
                    "            (warning) Member without an alias written with an empty "
                    "MEMBER_ALIAS: member=") +
                row.memberDisplayName + QStringLiteral(" (ObjectID=") +
                GetFieldString(members, QStringLiteral("ObjectID")) +
                QStringLiteral(") in private list=") +
                GetFieldString(lists, QStringLiteral("alias")));
        } else {
            row.memberAlias = members.text(QStringLiteral("Alias"));
        }
        WriteSubInfoToFile(row);
    });
}

void PrivateListWalk::WriteSubInfoToFile(const MemberRow& row)
{
    StepRunner steps([this](const Failure& f) {
        m_app.services.ShowMessage(QStringLiteral("Error in WriteSubInfoToFile on frmDumpInfo:") +
                                   f.description());
    });
    if (steps.run([&] { m_tsCSVFile.writeLine(MembershipCsv::line(row)); }))
        ++m_counts.rows;
}

QString PrivateListWalk::GetSubscriberExtension(const QString& objectId)
{
    return singleExtension(
        QStringLiteral("SELECT DTMFAccessID FROM vw_Subscriber WHERE SubscriberObjectID=") +
            sqlQuoted(objectId),
        [](const Recordset& found) { return found.text(0).trimmed(); });
}

QString PrivateListWalk::GetPublicListExtension(const QString& objectId)
{
    return singleExtension(
        QStringLiteral("SELECT DTMFAccessID FROM vw_DistributionList WHERE SystemDListObjectID=") +
            sqlQuoted(objectId),
        [](const Recordset& found) {
            return GetFieldString(found, QStringLiteral("DTMFAccessID"));
        });
}

QString PrivateListWalk::singleExtension(const QString& sql,
                                         const std::function<QString(const Recordset&)>& read)
{
    // Never reports: no row, two rows or a failure all leave the extension empty.
    QString result;
    Recordset found;
    StepRunner().run([&] {
        found.open(sql, m_app.strConnectionString);
        if (found.recordCount() == 1)
            result = read(found);
    });
    return result;
}

} // namespace tarnwick
