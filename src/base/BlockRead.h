#pragma once

#include "base/CellStore.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QSqlDatabase;

namespace tarnwick {

// Every row of an executed statement: the column names, then every cell row
// by row as the text the driver gives for it, or null.
struct BlockReadResult
{
    QStringList names;
    CellStore cells;
    qsizetype rows = 0;
};

// The ODBC handle (SQLHANDLE) behind a Qt driver's or result's handle();
// null where the driver is not Qt's ODBC one.
void* odbcHandle(const QVariant& handle);

// The database product the ODBC driver of `db` names (SQL_DBMS_NAME: "SQLite",
// "PostgreSQL", ...); empty where it names none or the driver is not ODBC.
QString dbmsName(const QSqlDatabase& db);

// Runs a prepared ODBC statement (an SQLHSTMT); a failure throws Failure
// with the driver's words, as Qt's driver words it (without its warning on
// stderr).
void executePrepared(void* statement);

// Reads the rows of the executed ODBC statement `statement` (an SQLHSTMT),
// a few hundred per fetch into bound buffers where the columns' widths are
// known and `widthsHold` (the database keeps no value longer than its column
// says), else one by one: Qt's driver asks for each cell on its own, which
// cost most of a large read. Every value comes as text, so numbers keep the
// digits the database holds and a value that is no number stays what it is.
// A fetch that fails throws Failure with the driver's text. `stopped`, when
// given, is asked every few hundred rows: true ends the read with a Failure
// (for a driver whose SQLCancel is no safe way to stop a fetch under way).
BlockReadResult readRows(void* statement, bool widthsHold, const std::function<bool()>& stopped = {});

} // namespace tarnwick
