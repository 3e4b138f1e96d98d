#pragma once

#include "DemoDatabase.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The recordset's contract, checked the same way on every database back end
// the product code may meet: each back end's suite fills a fresh database with
// fill() in its initTestCase and says how to reach it.
class RecordsetSuite : public QObject
{
    Q_OBJECT

protected:
    static void fill(tarnwick::demo::DemoDatabase& db);
    // The product's connection string to the filled database.
    virtual QString connectionString() const = 0;
    // Connection strings that reach no database: tag, connection string.
    virtual QList<QPair<QString, QString>> unreachable() const = 0;
    // Whether the product's connection refuses writes (PostgreSQL's reader
    // role does; the SQLite ODBC driver ignores the read-only access mode).

private Q_SLOTS:
    void walk_data();
    void walk();
    void fieldByNameInAnyCase_data();
    void fieldByNameInAnyCase();
    void nullEmptyAndNumbers_data();
    void nullEmptyAndNumbers();
    void missingFieldOrRow();
    void textOfNullFails();
    void closeWhenNotOpenFails();
    void failingQueryLeavesItClosed_data();
    void failingQueryLeavesItClosed();
    void unreachableDatabase_data();
    void unreachableDatabase();
    void nothingIsWritten_data();
    void nothingIsWritten();
};
