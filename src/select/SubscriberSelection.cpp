#include "select/SubscriberSelection.h"

#include "base/Recordset.h"
#include "base/SqlText.h"
#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "program/AppContext.h"
#include "select/CsvSubscriberImport.h"
#include "select/NumberText.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"

namespace tarnwick {

namespace {

const QString kOwner = QStringLiteral("Form frmChooseSubscribers");

// "Loading ... 37 of 1200": the total carries the blank of a number's sign.
QString totalText(qsizetype total)
{
    return QLatin1Char(' ') + QString::number(total);
}

// Walks the rows of a recordset from where it stands. A failing end test or
// move ends the walk (after the runner has reported it), so a recordset that
// never opened is not walked for ever.
template <typename Visit> void walkRows(Recordset& rs, StepRunner& steps, Visit&& visit)
{
    for (;;) {
        const std::optional<bool> end = steps.value([&] { return rs.atEnd(); });
        if (!end || *end)
            return;
        visit();
        if (!steps.run([&] { rs.moveNext(); }))
            return;
    }
}

void closeQuietly(Recordset& rs)
{
    StepRunner().run([&] { rs.close(); });
}

} // namespace

const std::array<SelectionModeEntry, 6>& selectionModes()
{
    static const std::array<SelectionModeEntry, 6> modes{{
        {QStringLiteral("All Subscribers"), 1, ModeInputs::None},
        {QStringLiteral("Subscribers with extension numbers from:"), 2, ModeInputs::ExtensionRange},
        {QStringLiteral("Subscribers referenced in this CSV file:"), 6, ModeInputs::CsvFile},
        {QStringLiteral("Subscribers associated with this class of service: "), 7,
         ModeInputs::ClassOfService},
        {QStringLiteral("Select subscribers with sub string in their display name"), 10,
         ModeInputs::SubString},
        {QStringLiteral("Select subscribers with sub string in their COS name"), 11,
         ModeInputs::SubString},
    }};
    return modes;
}

const SelectionModeEntry* selectionModeByCode(int code)
{
    for (const SelectionModeEntry& entry : selectionModes()) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

std::vector<ClassOfService> LoadClassesOfService(AppContext& app, StepRunner& steps)
{
    std::vector<ClassOfService> list;
    Recordset rs;
    steps.run([&] {
        rs.open(
            QStringLiteral("SELECT COSObjectID as ObjectID, TextName as DisplayName FROM vw_COS"),
            app.strConnectionString);
    });
    // A count that cannot be read counts as none found.
    if (steps.test([&] { return rs.recordCount() < 1; })) {
        app.services.ShowMessage(
            QStringLiteral("No COS objects found in the backed up database!  Exiting..."));
        app.services.ExitApplication();
    }
    steps.run([&] { rs.moveFirst(); });
    walkRows(rs, steps, [&] {
        // Both lists stay parallel even when a value cannot be read.
        ClassOfService cos;
        steps.run([&] { cos.objectId = rs.text(QStringLiteral("ObjectID")); });
        steps.run([&] { cos.displayName = rs.text(QStringLiteral("DisplayName")); });
        list.push_back(std::move(cos));
    });
    steps.run([&] { rs.close(); });
    return list;
}

std::optional<ClassOfService> findClassOfService(const std::vector<ClassOfService>& list,
                                                 const QString& name)
{
    for (const ClassOfService& cos : list) {
        if (cos.displayName == name)
            return cos;
    }
    return std::nullopt;
}

RangeCheck checkExtensionRange(const QString& low, const QString& high)
{
    if (!isNumericText(low) || !isNumericText(high))
        return RangeCheck::NotNumeric;
    const double lo = leadingNumber(low);
    const double hi = leadingNumber(high);
    if (lo >= 0 && lo <= hi && hi >= 0)
        return RangeCheck::Accepted;
    return RangeCheck::NotAscending;
}

SubscriberSelection::SubscriberSelection(AppContext& app, SelectionGrid& grid, SelectionProgress& progress)
    : m_app(app), m_grid(grid), m_progress(progress)
{
}

int SubscriberSelection::fillGrid(const SelectionRequest& request)
{
    StepRunner steps; // failures here pass without a word; every step still runs
    steps.run([&] {
        m_progress.setOf(QStringLiteral("of "));
        m_progress.setTitle(QStringLiteral("Loading subscriber data..."));
    });
    m_grid.setRows(1);
    m_grid.setRedraw(false);
    m_app.ui.yield();

    switch (static_cast<SelectionMode>(request.mode)) {
    case SelectionMode::AllSubscribers:
        AddAllSubscribers();
        break;
    case SelectionMode::ExtensionRange:
        AddSubscribersByExtensionRange(request.low, request.high);
        break;
    case SelectionMode::CsvFile:
        AddSubscribersFromCSV(request.csvPath);
        break;
    case SelectionMode::ClassOfService:
        if (request.cosName.isEmpty())
            m_app.ui.showMessage(QStringLiteral("You must first select a COS"));
        else
            AddSubscribersByCOS(request.cosId);
        break;
    case SelectionMode::DisplayNameSubString:
    case SelectionMode::CosNameSubString:
        // Only emptiness is refused here: a text of blanks or ";" goes on and finds nobody.
        if (request.subString.isEmpty())
            m_app.ui.showMessage(
                QStringLiteral("You must enter a sub string or multiple sub strings seperated with ';'"));
        else if (request.mode == static_cast<int>(SelectionMode::DisplayNameSubString))
            AddSubscriberbyDisplayNameSubString(request.subString);
        else
            AddSubscriberbyCOSNameSubString(request.subString);
        break;
    }

    m_grid.setRedraw(true);
    steps.run([&] { m_progress.hide(); });
    return m_grid.Rows() > 1 ? m_grid.Rows() - 1 : 0;
}

namespace {

// The lookup's columns, named so that no selection query has them.
const std::array<std::pair<const char*, const char*>, 7> kLookupFields{{
    {"Alias", "TarnwickAlias"},
    {"FirstName", "TarnwickFirstName"},
    {"LastName", "TarnwickLastName"},
    {"DTMFAccessID", "TarnwickExtension"},
    {"DisplayName", "TarnwickDisplayName"},
    {"CallHandlerObjectID", "TarnwickHandlerId"},
    {"COSObjectID", "TarnwickCosId"},
}};

// How many subscriber rows the database matches to the selection row's id.
const QString kMatchCount =
    QStringLiteral("(SELECT COUNT(*) FROM vw_Subscriber x WHERE x.SubscriberObjectId = q.ObjectID)");

// The subscriber's texts in one order, whichever query brought them: its own
// columns, or the lookup's names beside a selection query's row.
void readSubscriberTexts(SubscriberFound& found, const Recordset& rs, const RowLookupColumns::Texts& columns)
{
    found.alias = GetFieldString(rs, columns.alias);
    found.firstName = GetFieldString(rs, columns.firstName);
    found.lastName = GetFieldString(rs, columns.lastName);
    found.displayName = GetFieldString(rs, columns.displayName);
    found.extension = GetFieldString(rs, columns.extension);
    found.handlerId = GetFieldString(rs, columns.handlerId);
}

// The subscriber's texts under the names its own row has, or the lookup's.
RowLookupColumns::Texts textColumns(const Recordset& rs, bool lookupNames)
{
    const auto column = [&](const char* field) {
        for (const auto& [source, name] : kLookupFields) {
            if (qstrcmp(source, field) == 0)
                return rs.columnIndex(QString::fromLatin1(lookupNames ? name : source));
        }
        return -1;
    };
    return {column("Alias"),        column("FirstName"),    column("LastName"),
            column("DisplayName"), column("DTMFAccessID"), column("CallHandlerObjectID")};
}

} // namespace

void SubscriberSelection::AddUserToGrid(const QString& objectId)
{
    // Every failure here passes without a word; the two lookups that find
    // nothing usable say so and add no row.
    StepRunner steps;
    SubscriberFound found;
    Recordset subscriber;
    steps.run([&] {
        subscriber.open(
            QStringLiteral("SELECT Alias, FirstName, LastName, DTMFAccessID, DisplayName, "
                           "CallHandlerObjectID, COSObjectID FROM vw_Subscriber WHERE SubscriberObjectId=") +
                sqlQuoted(objectId),
            m_app.strConnectionString);
    });
    found.single = !steps.test([&] { return subscriber.recordCount() != 1; });
    const std::optional<QVariant> cosValue =
        found.single ? steps.value([&] { return subscriber.value(QStringLiteral("COSObjectID")); }) : std::nullopt;
    if (cosValue && !cosValue->isNull()) {
        found.cosId = valueToText(*cosValue);
        Recordset cos;
        steps.run([&] {
            cos.open(QStringLiteral("SELECT TextName as DisplayName from vw_COS WHERE COSObjectID=") +
                         sqlQuoted(*found.cosId),
                     m_app.strConnectionString);
        });
        found.singleCos = !steps.test([&] { return cos.recordCount() != 1; });
        found.cosName = GetFieldString(cos, QStringLiteral("DisplayName"));
        readSubscriberTexts(found, subscriber, textColumns(subscriber, false));
    }
    addFound(objectId, found);
}


QString withRowLookups(const QString& selectionSql, const QString& orderBy)
{
    // The subscriber's row is joined only when it is the one row matched, so
    // each selection row stays one row, and a joined row needs no second
    // count. Its class of service is looked up from that row: the name (a
    // null one read as empty) when exactly one matches, else null.
    QString sql = QStringLiteral("SELECT q.*, CASE WHEN u.SubscriberObjectId IS NULL THEN ") + kMatchCount +
                  QStringLiteral(" ELSE 1 END AS TarnwickMatches");
    for (const auto& [field, name] : kLookupFields)
        sql += QStringLiteral(", u.") + QLatin1String(field) + QStringLiteral(" AS ") + QLatin1String(name);
    sql += QStringLiteral(", (SELECT CASE WHEN COUNT(*) = 1 THEN COALESCE(MAX(c.TextName), '') END FROM vw_COS c "
                          "WHERE c.COSObjectID = u.COSObjectID) AS TarnwickCosName FROM (") +
           selectionSql +
           QStringLiteral(") q LEFT JOIN vw_Subscriber u ON u.SubscriberObjectId = q.ObjectID AND ") + kMatchCount +
           QStringLiteral(" = 1");
    if (!orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderBy;
    return sql;
}

RowLookupColumns::RowLookupColumns(const Recordset& rs)
    : matches(rs.columnIndex(QStringLiteral("TarnwickMatches"))),
      cosId(rs.columnIndex(QStringLiteral("TarnwickCosId"))),
      cosName(rs.columnIndex(QStringLiteral("TarnwickCosName"))),
      texts(textColumns(rs, true))
{
}

SubscriberFound foundInRow(const Recordset& rs, const RowLookupColumns& columns)
{
    SubscriberFound found;
    StepRunner steps;
    found.single = steps.value([&] { return rs.value(columns.matches).toLongLong() == 1; }).value_or(false);
    const std::optional<QVariant> cosId = steps.value([&] { return rs.value(columns.cosId); });
    if (found.single && cosId && !cosId->isNull()) {
        found.cosId = valueToText(*cosId);
        const std::optional<QVariant> cosName = steps.value([&] { return rs.value(columns.cosName); });
        found.singleCos = cosName && !cosName->isNull();
        if (found.singleCos)
            found.cosName = valueToText(*cosName);
        readSubscriberTexts(found, rs, columns.texts);
    }
    return found;
}

void SubscriberSelection::addRow(const Recordset& rs, const RowLookupColumns* lookups, const QString& objectId)
{
    if (lookups)
        addFound(objectId, foundInRow(rs, *lookups));
    else
        AddUserToGrid(objectId);
}

void SubscriberSelection::addFound(const QString& objectId, const SubscriberFound& found)
{
    if (!found.single) {
        m_app.ui.showMessage(QStringLiteral("Unable to find single subscriber by ObjectID=") + objectId +
                             QStringLiteral(" in AddUserToGrid routine"));
        return;
    }
    // Without a class of service there is nothing to look up and nothing to name: skipped silently.
    if (!found.cosId)
        return;
    if (!found.singleCos) {
        m_app.ui.showMessage(QStringLiteral("Unable to find single COS instance by ObjectID=") + *found.cosId +
                             QStringLiteral(" in AddUsersToGrid routine"));
        return;
    }

    // Column 0 of the new row holds its own number.
    m_grid.AddItem(QString::number(m_grid.Rows()));
    const int row = m_grid.Rows() - 1;
    m_grid.setCellChecked(row, SelectionGrid::Selected, true);
    m_grid.setTextMatrix(row, SelectionGrid::Alias, found.alias);
    m_grid.setTextMatrix(row, SelectionGrid::DisplayName, found.displayName);
    m_grid.setTextMatrix(row, SelectionGrid::FirstName, found.firstName);
    m_grid.setTextMatrix(row, SelectionGrid::LastName, found.lastName);
    m_grid.setTextMatrix(row, SelectionGrid::Extension, found.extension);
    m_grid.setTextMatrix(row, SelectionGrid::COS, found.cosName);
    m_grid.setTextMatrix(row, SelectionGrid::ObjectID, objectId);
    m_grid.setTextMatrix(row, SelectionGrid::HandlerObjectID, found.handlerId);
}

std::optional<RowLookupColumns> SubscriberSelection::openSelection(Recordset& rs, const QString& sql,
                                                                  StepRunner& steps)
{
    // One read for the whole load: the progress window is kept drawn while its rows come in.
    const auto keepDrawn = [this] { StepRunner().run([&] { m_progress.repaint(); }); };
    if (!m_app.perRowQueries &&
        StepRunner().run([&] { rs.open(withRowLookups(sql), m_app.strConnectionString, keepDrawn); }))
        return RowLookupColumns(rs);
    steps.run([&] { rs.open(sql, m_app.strConnectionString); });
    return std::nullopt;
}

template <typename Chosen>
void SubscriberSelection::addWithProgress(const QString& procedure, const QString& sql, const QString& notFound,
                                          Chosen&& chosen)
{
    StepRunner steps(
        [&](const Failure& f) { m_app.ui.showMessage(ErrorText::errorInProcedure(f, procedure, kOwner)); });
    Recordset rs;
    // Shown before the read, which takes a while on a large database, so the
    // load is seen to have begun; the total follows once it is known.
    StepRunner().run([&] {
        m_progress.setCount(QStringLiteral("0"));
        m_progress.setTotal(QString());
        m_progress.show();
        m_progress.repaint();
    });
    const std::optional<RowLookupColumns> lookups = openSelection(rs, sql, steps);
    // A count that cannot be read counts as none found.
    if (steps.test([&] { return rs.recordCount() < 1; })) {
        StepRunner().run([&] { m_progress.hide(); }); // not over the message
        m_app.ui.showMessage(notFound);
        closeQuietly(rs);
        return;
    }
    steps.run([&] { m_progress.setTotal(totalText(rs.recordCount())); });
    StepRunner().run([&] { m_grid.reserveRows(rs.recordCount()); });
    qint64 count = 0;
    const int idColumn = rs.columnIndex(QStringLiteral("ObjectID"));
    steps.run([&] { rs.moveFirst(); });
    walkRows(rs, steps, [&] {
        if (!chosen(rs, steps))
            return;
        if (const std::optional<QString> id = steps.value([&] { return rs.text(idColumn); }))
            addRow(rs, lookups ? &*lookups : nullptr, *id);
        ++count;
        steps.run([&] {
            m_progress.setCount(QString::number(count));
            m_progress.repaint();
        });
    });
    closeQuietly(rs);
    StepRunner().run([&] { m_progress.hide(); });
}

void SubscriberSelection::notice(const QString& text)
{
    if (m_app.log.isOpen())
        m_app.log.WriteToLog(text);
    if (m_noticeSink)
        m_noticeSink(text);
    else
        m_app.ui.showMessage(text);
}

void SubscriberSelection::AddAllSubscribers()
{
    addWithProgress(QStringLiteral("AddAllSubscribers"),
                    QStringLiteral("SELECT SubscriberObjectID as ObjectID from vw_Subscriber WHERE "
                                   "SubscriberType IN (1,3)"),
                    QStringLiteral("No subscribers found in database!"),
                    [](Recordset&, StepRunner&) { return true; });
}

void SubscriberSelection::AddSubscribersByExtensionRange(const QString& low, const QString& high)
{
    switch (checkExtensionRange(low, high)) {
    case RangeCheck::NotNumeric:
        m_app.ui.showMessage(QStringLiteral("Invalid input for extension range - only numbers are allowed"));
        return;
    case RangeCheck::NotAscending:
        m_app.ui.showMessage(
            QStringLiteral("The upper extension range must be strictly higher than the lower extension range"));
        return;
    case RangeCheck::Accepted:
        break;
    }
    const double lo = leadingNumber(low);
    const double hi = leadingNumber(high);
    qint64 withoutExtension = 0;
    addWithProgress(QStringLiteral("AddSubscribersByExtensionRange"),
                    QStringLiteral("SELECT SubscriberObjectID as ObjectID, DTMFAccessID FROM vw_Subscriber "
                                   "WHERE SubscriberType in (1,3)"),
                    QStringLiteral("No subscribers found in the backed up database."),
                    [lo, hi, &withoutExtension](Recordset& rs, StepRunner& steps) {
                        // A subscriber without an extension lies in no range; an extension
                        // that cannot be read otherwise is reported and judged as 0.
                        double value = 0;
                        bool none = false;
                        steps.run([&] {
                            const QVariant extension = rs.value(QStringLiteral("DTMFAccessID"));
                            none = extension.isNull();
                            if (!none)
                                value = leadingNumber(valueToText(extension));
                        });
                        if (none)
                            ++withoutExtension;
                        return !none && lo <= value && value <= hi;
                    });
    // Once for the load, after its progress window has gone.
    if (withoutExtension > 0)
        notice(kWithoutExtensionNotice + QString::number(withoutExtension));
}

void SubscriberSelection::AddSubscribersByCOS(const QString& cosObjectId)
{
    // The progress window is not shown yet when nothing is found, so it is not hidden either.
    addWithProgress(
        QStringLiteral("AddSubscribersByCOS"),
        QStringLiteral(
            "SELECT SubscriberObjectID as ObjectID FROM vw_Subscriber WHERE CosObjectID=") +
            sqlQuoted(cosObjectId) + QStringLiteral(" and SubscriberType in (1,3)"),
        QStringLiteral("No subscribers found associated with that COS in the database."),
        [](Recordset&, StepRunner&) { return true; });
}

void SubscriberSelection::AddSubscriberbyDisplayNameSubString(const QString& subStrings)
{
    addBySubString(
        QStringLiteral("AddSubscriberbyDisplayNameSubString"),
        QStringLiteral("SELECT SubscriberObjectID as ObjectID, DisplayName FROM vw_Subscriber "
                       "WHERE SubscriberType in (1,3)"),
        subStrings);
}

void SubscriberSelection::AddSubscriberbyCOSNameSubString(const QString& subStrings)
{
    // Subscribers of every type: this query has no type filter.
    addBySubString(
        QStringLiteral("AddSubscriberbyCOSNameSubString"),
        QStringLiteral(
            "SELECT vw_Subscriber.SubscriberObjectID as ObjectID, vw_COS.TextName as DisplayName "
            "FROM vw_Subscriber INNER JOIN vw_COS on vw_Subscriber.COSObjectID=vw_COS.COSObjectID"),
        subStrings);
}

void SubscriberSelection::addBySubString(const QString& procedure, const QString& sql,
                                         const QString& subStrings)
{
    if (subStrings.isEmpty())
        return;
    QStringList pieces;
    for (const QString& piece : subStrings.split(QLatin1Char(';'))) {
        const QString trimmed = piece.trimmed();
        if (!trimmed.isEmpty())
            pieces.append(trimmed);
    }
    StepRunner steps([&](const Failure& f) {
        m_app.ui.showMessage(ErrorText::errorInProcedure(f, procedure, kOwner));
    });
    Recordset rs;
    const std::optional<RowLookupColumns> lookups = openSelection(rs, sql, steps);
    const int idColumn = rs.columnIndex(QStringLiteral("ObjectID"));
    const int nameColumn = rs.columnIndex(QStringLiteral("DisplayName"));
    walkRows(rs, steps, [&] {
        // A null name contains nothing and is no failure.
        const std::optional<QVariant> name = steps.value([&] { return rs.value(nameColumn); });
        if (!name || name->isNull())
            return;
        const QString displayName = valueToText(*name);
        for (const QString& piece : std::as_const(pieces)) {
            if (displayName.contains(piece, Qt::CaseInsensitive)) {
                if (const std::optional<QString> id = steps.value([&] { return rs.text(idColumn); }))
                    addRow(rs, lookups ? &*lookups : nullptr, *id);
                break; // once per row, however many pieces match
            }
        }
    });
    closeQuietly(rs);
}

void SubscriberSelection::AddSubscribersFromCSV(const QString& path)
{
    CsvSubscriberImport(*this).run(path);
}

} // namespace tarnwick
