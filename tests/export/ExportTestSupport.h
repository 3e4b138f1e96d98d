#pragma once

#include "DemoDatabase.h"
#include "export/ExportRun.h"
#include "select/SelectionGrid.h"
#include "support/RecordingUserInterface.h"

#include <QStringList>

#include <functional>
#include <utility>

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

struct RecordingProgress : ExportProgress
{
    void setRange(int min, int max) override { range = {min, max}; }
    void setValue(int value) override { values.append(value); }
    void setCaption(const QString& caption) override { captions.append(caption); }
    std::pair<int, int> range;
    QList<int> values;
    QStringList captions;
};

// Appends a grid row as the selection page fills one; ticked unless told.
void addGridRow(SelectionGrid& grid, const QString& objectId, const QString& alias,
                const QString& displayName, const QString& extension, bool ticked = true);

// Every case the walk must handle: both kinds of member, one of an unknown
// type, unknown, missing and blank-padded extensions, single quotes in ids,
// and names with commas, double quotes, CR LF and non-ASCII letters.
// Owners: "S-OWNER" (lists "team" and the empty "empty"), "S-NOLISTS" (none).
void buildWalkFixture(demo::DemoDatabase& db);
void addFixtureOwners(SelectionGrid& grid);
QStringList fixtureCsvLines(); // header first
QByteArray crlfFile(const QStringList& lines);
extern const QStringList kOwnerLog; // the walk's log lines for "S-OWNER"
extern const QString kNoListsLine;

QByteArray readFile(const QString& path);
QStringList logBody(const QString& logPath); // the log's CR LF lines after its header

// Runs a copy of tarnwick-export installed in `folder` (its logs go there),
// started there (where the fixed connection string finds "OrvaneDb"), with
// the registry file `folder`/registry.reg.
struct CommandResult
{
    int exitCode = -1;
    QString output; // stdout and stderr
    QString logPath;
};
CommandResult runExportBinary(const QString& folder, const QStringList& arguments,
                              const QString& registryText);

} // namespace tarnwick::test
