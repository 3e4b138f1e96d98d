#pragma once

#include "support/RecordingUserInterface.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

namespace tarnwick {
class SelectionGrid;
namespace demo {
class DemoDatabase;
}
} // namespace tarnwick

namespace tarnwick::test {

// A recorder whose next yield runs code: clicks that arrive while a run yields.
struct ClickingUserInterface : RecordingUserInterface
{
    void yield() override
    {
        RecordingUserInterface::yield();
        if (onYield)
            std::exchange(onYield, nullptr)();
    }
    std::function<void()> onYield;
};

// Appends a row the way the selection page fills one, ticked unless told.
void addGridRow(SelectionGrid& grid, const QString& objectId, const QString& alias,
                const QString& displayName, const QString& extension, bool ticked = true);

// An organisation with every case the walk must handle: lists with both
// kinds of member, a member of an unknown type, unknown and blank-padded
// extensions, a list without members, an owner without lists, and names
// with commas, double quotes, line breaks and non-ASCII letters.
// Owners, in grid order: "S-OWNER" (two lists), "S-NOLISTS" (none).
void buildWalkFixture(demo::DemoDatabase& db);
// The grid rows for those two owners.
void addFixtureOwners(SelectionGrid& grid);
// The CSV lines the fixture gives for its owners, header included.
QStringList fixtureCsvLines();
// The values those lines hold, as a CSV reader gives them back.
QList<QStringList> fixtureCsvRecords();

QByteArray readFile(const QString& path);
// The file's lines: UTF-8 text split at CR LF (a trailing CR LF ends the last line).
QStringList crlfLines(const QString& path);
// The log's lines after its header.
QStringList logBody(const QString& logPath);

// Runs the real tarnwick-export as if installed in `folder`: the binary is
// copied there (so its logs go there), the working folder is `folder` (where
// the fixed connection string finds "OrvaneDb") and the registry file is
// `folder`/registry.reg with `registryText`.
struct CommandResult
{
    int exitCode = -1;
    QString out;
    QString err;
    QString logPath; // from the "Log: " line, empty when there is none
};
CommandResult runExportBinary(const QString& folder, const QStringList& arguments,
                              const QString& registryText);

// Reads a CSV file with Python's csv module: every record, as the fields it holds.
QList<QStringList> readCsvWithPython(const QString& path);

} // namespace tarnwick::test
