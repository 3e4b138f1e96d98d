#pragma once

#include "DemoDatabase.h"
#include "export/ExportRun.h"
#include "select/SelectionGrid.h"
#include "support/TestEnvironment.h"

namespace tarnwick::test {

// A recorder whose next yield runs code: clicks that arrive while a run yields.
struct ClickingUserInterface : RecordingUserInterface
{
    void yield() override
    {
        if (const auto click = std::exchange(onYield, nullptr))
            click();
    }
    std::function<void()> onYield;
};

struct RecordingProgress : ExportProgress
{
    void setRange(int min, int max) override { values << min << max; }
    void setValue(int value) override { values.append(value); }
    void setCaption(const QString& caption) override { captions.append(caption); }
    QList<int> values; // the two bounds of setRange, then every setValue
    QStringList captions;
};

// Both kinds of member, one of an unknown type, unknown, missing and padded
// extensions, quotes in ids, and names with commas, quotes, CR LF and non-ASCII
// letters. Owners: "S-OWNER" (lists "team" and the empty "empty"), "S-NOLISTS".
void buildWalkFixture(demo::DemoDatabase& db);
QStringList fixtureCsvLines();      // the output for both owners, header first
extern const QStringList kOwnerLog; // the walk's log lines for "S-OWNER"
extern const QString kNoListsLine;

QByteArray readFile(const QString& path);
QByteArray crlfFile(const QStringList& lines);
QStringList logBody(const QString& logPath); // the lines after the log's header

// An export over that fixture, with an empty grid and a recorder that can click.
struct ExportFixture
{
    ExportFixture();
    QStringList log() const { return logBody(app.log.strLogFileName()); }
    // A grid row as the selection page fills one.
    void addRow(const QString& objectId, const QString& alias, const QString& name,
                const QString& extension, bool ticked = true);
    void addOwners(); // "S-OWNER" and "S-NOLISTS"
    TestEnvironment env;
    ClickingUserInterface ui;
    AppContext app{ui, env.shell, *env.registry, ProgramInfo::inFolder(env.folder()), env.clock};
    SelectionGrid grid;
    RecordingProgress progress;
    ExportRun run{app, grid, progress};
};

// Runs a copy of tarnwick-export in `folder` (its logs go there, and the fixed
// connection string finds "OrvaneDb" there), with that registry.
struct CommandResult
{
    int exitCode = -1;
    QString output; // stdout, then stderr
    QString logPath;
};
CommandResult runExportBinary(const QString& folder, const QStringList& arguments,
                              const QString& registryText = TestEnvironment::registryText());

} // namespace tarnwick::test
