#include "export/PrivateListWalk.h"

#include "base/Recordset.h"
#include "base/StepRunner.h"
#include "platform/TextFileWriter.h"
#include "program/AppContext.h"

#include <array>
#include <utility>

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

PrivateListWalk::PrivateListWalk(AppContext& app, TextFileWriter& tsCSVFile) : m_app(app), m_tsCSVFile(tsCSVFile) {}

PrivateListWalk::~PrivateListWalk() = default;

void PrivateListWalk::expectOwners(const QStringList& ownerObjectIds)
{
    m_formulas = {}; // a run stopped part way left its count untold
    // Ends the reads of the run before, if any.
    m_source.reset();
    if (m_app.perRowQueries)
        m_source = std::make_unique<PerRowQueries>(m_app.strConnectionString);
    else
        m_source = std::make_unique<ReadsInSets>(m_app, ownerObjectIds);
}

PrivateListSource& PrivateListWalk::source()
{
    if (!m_source)
        m_source = std::make_unique<PerRowQueries>(m_app.strConnectionString);
    return *m_source;
}

void PrivateListWalk::ProcessPrivateDLMembers(const QString& ownerObjectId, const QString& ownerAlias,
                                              const QString& ownerDisplayName, const QString& ownerExtension)
{
    StepRunner steps([this](const Failure& f) {
        m_app.log.WriteToLog(ErrorText::logLine(f, QStringLiteral("ProcessPrivateDLMembers"), kForm));
    });
    const MemberRow owner{ownerAlias, ownerDisplayName, ownerExtension, {}, {}, {}, {}, {}, {}};
    ++m_counts.owners;

    Recordset lists;
    steps.run([&] { lists = source().lists(ownerObjectId); });
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
        steps.run([&] { members = source().members(lists.text(QStringLiteral("PersonalDListOBjectID"))); });
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
    // "No row" and "two rows" are no failure; a lookup the database refuses is,
    // and the row it leaves without an extension is told and counted.
    return source().extension(kind, objectId, [&](const Failure& f) {
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
    return PerRowQueries(m_app.strConnectionString).extension(MemberKind::Subscriber, objectId, {});
}

QString PrivateListWalk::GetPublicListExtension(const QString& objectId)
{
    return PerRowQueries(m_app.strConnectionString).extension(MemberKind::PublicList, objectId, {});
}

} // namespace tarnwick
