#pragma once

#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"
#include "support/PostgresDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QRegularExpression>

namespace tarnwick::test {

using namespace Qt::StringLiterals;

// "a b c" as a list of words: the aliases a selection is expected to give.
inline QStringList names(const char* words)
{
    return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts);
}

// Every cell and tick of the grid: what two ways of filling it must agree on.
inline QString gridCells(const SelectionGrid& grid)
{
    QStringList cells;
    for (int r = 1; r < grid.Rows(); ++r) {
        cells << QString::number(grid.CellChecked(r, SelectionGrid::Selected));
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
            cells << grid.TextMatrix(r, c);
    }
    return cells.join(u'|');
}

inline QStringList gridAliases(const SelectionGrid& grid)
{
    QStringList out;
    for (int r = 1; r < grid.Rows(); ++r)
        out << grid.text(r, u"Alias"_s);
    return out;
}

inline const QString kUnreachable = demo::DemoDatabase::sqliteConnectionString(u"/no/such/folder/OrvaneDb"_s);

// Failure reports with the driver's number and words cut out: "Error ... in procedure X".
inline QStringList withoutDriverWords(QStringList texts)
{
    return texts.replaceInStrings(QRegularExpression(u"(?s)^(\\(error\\):|Error ).*\\) in procedure "_s),
                                  u"\\1... in procedure "_s);
}

// A small organisation with the awkward rows the selection must survive.
// Types 1 and 3 are selectable; type 2 is only reached through a COS name.
inline void addSelectionOrganisation(demo::DemoDatabase& db)
{
    db.beginBatch();
    db.addCos(u"cos-1"_s, u"Default Subscriber"_s);
    db.addCos(u"cos-2"_s, u"Executives"_s);
    db.addCos(u"cos-3"_s, u"Night Shift"_s);
    // id|alias|first name|last name|display name|extension|handler|class of service|type; ~ is null
    for (const char* row : {
             "s-1|jsmith|John|Smith|John Smith|1234|h-1|cos-1|1",
             "s-2|jwhite|Joanne|White|Joanne White|0123|h-2|cos-2|3",
             "s-3|o'brien|Pat|O'Brien|Pat O'Brien|100|h-3|cos-1|1",
             "s-4|system|System|Smith|System Smith|9999|h-4|cos-2|2",
             "s-5|nofirst|~|Smithers|Waylon Smithers|200|h-5|cos-3|1",
             "s-6|nocos|No|Cos|No Cos|300|h-6|~|1",
             "s-7|lostcos|Lost|Cos|Lost Cos|400|h-7|cos-gone|1",
             "s-8|blank|Blank|~|~|~|h-8|cos-3|1",
         }) {
        QList<std::optional<QString>> f;
        for (const QString& field : QString::fromUtf8(row).split(u'|'))
            f << (field == u"~"_s ? std::nullopt : std::optional(field));
        db.addSubscriber({*f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]->toInt()});
    }
    db.commitBatch();
}

// The rows "All Subscribers" gives over that organisation, and what it reports.
inline const QStringList kAllSelectable = names("jsmith jwhite o'brien nofirst blank");
inline const QString kLostCos = u"Unable to find single COS instance by ObjectID=cos-gone in AddUsersToGrid routine"_s;
// A range load tells once how many subscribers it passed over for having no extension.
inline const QString kNullExtension = u"Subscribers without an extension lie in no range and were not added: 1"_s;

// A selection with its grid and an unseen progress window, over the organisation in SQLite or, built with
// SELECT_ON_POSTGRES, in PostgreSQL read as a role that may only SELECT (column names come back in lower case).
struct Bench
{
    Bench()
    {
#ifdef SELECT_ON_POSTGRES
        db = &pg.database();
        env.app->strConnectionString = pg.connectionString();
#endif
        addSelectionOrganisation(*db);
        // One class of service has no name: its subscriber's row shows an empty cell.
        db->addCos(u"cos-4"_s, std::nullopt);
        db->exec(u"UPDATE Subscriber SET COSObjectID = 'cos-4' WHERE SubscriberObjectID = 's-8'"_s);
    }

#ifdef SELECT_ON_POSTGRES
    PostgresDatabase pg;
#endif
    TestEnvironment env;
    demo::DemoDatabase* db = &env.database();
    SelectionGrid grid;
    ProgressLabels progress;
    SubscriberSelection selection{*env.app, grid, progress};
};

} // namespace tarnwick::test
