#pragma once

#include "DemoDatabase.h"

#include <QCryptographicHash>
#include <QFile>

namespace tarnwick::test {

// A small organisation with the awkward rows the selection must survive.
// Types 1 and 3 are selectable; type 2 is only reached through a COS name.
inline void addSelectionOrganisation(demo::DemoDatabase& db)
{
    using S = demo::DemoDatabase::Subscriber;
    db.beginBatch();
    db.addCos(QStringLiteral("cos-1"), QStringLiteral("Default Subscriber"));
    db.addCos(QStringLiteral("cos-2"), QStringLiteral("Executives"));
    db.addCos(QStringLiteral("cos-3"), QStringLiteral("Night Shift"));
    db.addSubscriber(S{QStringLiteral("s-1"), QStringLiteral("jsmith"), QStringLiteral("John"),
                       QStringLiteral("Smith"), QStringLiteral("John Smith"),
                       QStringLiteral("1234"), QStringLiteral("h-1"), QStringLiteral("cos-1"), 1});
    db.addSubscriber(S{QStringLiteral("s-2"), QStringLiteral("jwhite"), QStringLiteral("Joanne"),
                       QStringLiteral("White"), QStringLiteral("Joanne White"),
                       QStringLiteral("0123"), QStringLiteral("h-2"), QStringLiteral("cos-2"), 3});
    db.addSubscriber(S{QStringLiteral("s-3"), QStringLiteral("o'brien"), QStringLiteral("Pat"),
                       QStringLiteral("O'Brien"), QStringLiteral("Pat O'Brien"),
                       QStringLiteral("100"), QStringLiteral("h-3"), QStringLiteral("cos-1"), 1});
    db.addSubscriber(S{QStringLiteral("s-4"), QStringLiteral("system"), QStringLiteral("System"),
                       QStringLiteral("Smith"), QStringLiteral("System Smith"),
                       QStringLiteral("9999"), QStringLiteral("h-4"), QStringLiteral("cos-2"), 2});
    db.addSubscriber(S{QStringLiteral("s-5"), QStringLiteral("nofirst"), std::nullopt,
                       QStringLiteral("Smithers"), QStringLiteral("Waylon Smithers"),
                       QStringLiteral("200"), QStringLiteral("h-5"), QStringLiteral("cos-3"), 1});
    db.addSubscriber(S{QStringLiteral("s-6"), QStringLiteral("nocos"), QStringLiteral("No"),
                       QStringLiteral("Cos"), QStringLiteral("No Cos"), QStringLiteral("300"),
                       QStringLiteral("h-6"), std::nullopt, 1});
    db.addSubscriber(S{QStringLiteral("s-7"), QStringLiteral("lostcos"), QStringLiteral("Lost"),
                       QStringLiteral("Cos"), QStringLiteral("Lost Cos"), QStringLiteral("400"),
                       QStringLiteral("h-7"), QStringLiteral("cos-gone"), 1});
    db.addSubscriber(S{QStringLiteral("s-8"), QStringLiteral("blank"), QStringLiteral("Blank"),
                       std::nullopt, std::nullopt, std::nullopt, QStringLiteral("h-8"),
                       QStringLiteral("cos-3"), 1});
    db.commitBatch();
}

// The aliases of the subscribers addSelectionOrganisation gives rows to, in
// insertion order, when all of them are selected.
inline QStringList allSelectableAliases()
{
    return {QStringLiteral("jsmith"), QStringLiteral("jwhite"), QStringLiteral("o'brien"),
            QStringLiteral("nofirst"), QStringLiteral("blank")};
}

inline QByteArray fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace tarnwick::test
