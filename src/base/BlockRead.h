#pragma once

#include <QList>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

class QSqlDatabase;

namespace tarnwick {

// What a block read brought: the result's column names and its cells, row by
// row, in blocks of `rowsPerBlock` rows (the last may hold fewer). Kept as
// fetched: joining them into one list moved every cell once more and held
// both copies at the end of a large read.
struct BlockReadResult
{
    QStringList names;
    std::vector<QList<QVariant>> blocks;
    qsizetype rowsPerBlock = 1;
    qsizetype rows = 0;
};

// Reads every row of `sql` through the open connection's own ODBC handle, a
// few hundred rows per fetch into bound buffers: Qt's driver asks for each
// cell on its own, which cost most of a large read. Values come back as Qt's
// driver gives them (texts as QString, integers as int or qlonglong, null as
// a null QVariant).
//
// Returns nothing, having kept nothing, whenever it cannot vouch for the
// result: a column of another type, a value longer than its column says, a
// driver that is not ODBC, or any error. The caller then runs the query again
// through Qt, which also words any error as it always has.
std::optional<BlockReadResult> readInBlocks(QSqlDatabase& db, const QString& sql);

} // namespace tarnwick
