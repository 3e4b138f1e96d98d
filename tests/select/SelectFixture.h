#pragma once

#include "DemoDatabase.h"
#include "app/AppContext.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"
#include "support/TestEnvironment.h"

#include <QFile>

namespace tarnwick::test {

using namespace Qt::StringLiterals;

// "a b c" as a list of words: the aliases a selection is expected to give.
inline QStringList names(const char* words)
{
    return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts);
}

inline QStringList gridAliases(const SelectionGrid& grid)
{
    QStringList out;
    for (int r = 1; r < grid.Rows(); ++r)
        out << grid.text(r, u"Alias"_s);
    return out;
}

inline QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A connection string that reaches no database.
inline QString unreachable(const TestEnvironment& env)
{
    return demo::DemoDatabase::sqliteConnectionString(env.path(u"no/such/folder/OrvaneDb"_s));
}

// A small organisation with the awkward rows the selection must survive.
// Types 1 and 3 are selectable; type 2 is only reached through a COS name.
inline void addSelectionOrganisation(demo::DemoDatabase& db)
{
    const std::nullopt_t null = std::nullopt;
    db.beginBatch();
    db.addCos(u"cos-1"_s, u"Default Subscriber"_s);
    db.addCos(u"cos-2"_s, u"Executives"_s);
    db.addCos(u"cos-3"_s, u"Night Shift"_s);
    // id, alias, first, last and display name, extension, handler, class of service, type
    db.addSubscriber({u"s-1"_s, u"jsmith"_s, u"John"_s, u"Smith"_s, u"John Smith"_s, u"1234"_s,
                      u"h-1"_s, u"cos-1"_s, 1});
    db.addSubscriber({u"s-2"_s, u"jwhite"_s, u"Joanne"_s, u"White"_s, u"Joanne White"_s, u"0123"_s,
                      u"h-2"_s, u"cos-2"_s, 3});
    db.addSubscriber({u"s-3"_s, u"o'brien"_s, u"Pat"_s, u"O'Brien"_s, u"Pat O'Brien"_s, u"100"_s,
                      u"h-3"_s, u"cos-1"_s, 1});
    db.addSubscriber({u"s-4"_s, u"system"_s, u"System"_s, u"Smith"_s, u"System Smith"_s, u"9999"_s,
                      u"h-4"_s, u"cos-2"_s, 2});
    db.addSubscriber({u"s-5"_s, u"nofirst"_s, null, u"Smithers"_s, u"Waylon Smithers"_s, u"200"_s,
                      u"h-5"_s, u"cos-3"_s, 1});
    db.addSubscriber(
        {u"s-6"_s, u"nocos"_s, u"No"_s, u"Cos"_s, u"No Cos"_s, u"300"_s, u"h-6"_s, null, 1});
    db.addSubscriber({u"s-7"_s, u"lostcos"_s, u"Lost"_s, u"Cos"_s, u"Lost Cos"_s, u"400"_s,
                      u"h-7"_s, u"cos-gone"_s, 1});
    db.addSubscriber({u"s-8"_s, u"blank"_s, u"Blank"_s, null, null, null, u"h-8"_s, u"cos-3"_s, 1});
    db.commitBatch();
}

// The rows "All Subscribers" gives over that organisation, and what it reports.
inline QStringList allSelectableAliases()
{
    return names("jsmith jwhite o'brien nofirst blank");
}
inline const QString kLostCos =
    u"Unable to find single COS instance by ObjectID=cos-gone in AddUsersToGrid routine"_s;
inline const QString kNullExtension =
    u"Error 94 (Invalid use of Null) in procedure "
    u"AddSubscribersByExtensionRange of Form frmChooseSubscribers"_s;

// A selection with its grid and an unseen progress window, over the organisation.
struct Bench
{
    explicit Bench(bool organisation = true)
    {
        if (organisation)
            addSelectionOrganisation(env.database());
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        return writeFile(env.path(name), bytes);
    }

    TestEnvironment env;
    SelectionGrid grid;
    ProgressLabels progress;
    SubscriberSelection selection{*env.app, grid, progress};
};

} // namespace tarnwick::test
