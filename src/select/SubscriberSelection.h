#pragma once

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace tarnwick {

struct AppContext;
class SelectionGrid;
class SelectionProgress;
class StepRunner;
class Recordset;

// The ways to fill the grid, by the code each entry of the mode list carries.
enum class SelectionMode : int {
    AllSubscribers = 1,
    ExtensionRange = 2,
    CsvFile = 6,
    ClassOfService = 7,
    DisplayNameSubString = 10,
    CosNameSubString = 11,
};

// Which inputs a mode shows beside the mode list.
enum class ModeInputs { None, ExtensionRange, CsvFile, ClassOfService, SubString };

struct SelectionModeEntry
{
    QString text;
    int code;
    ModeInputs inputs;
};

// The mode list's entries, in list order.
const std::array<SelectionModeEntry, 6>& selectionModes();
// The entry with that code; nullptr for a code no entry carries.
const SelectionModeEntry* selectionModeByCode(int code);

struct ClassOfService
{
    QString objectId;
    QString displayName;
};

// Reads the classes of service the way the selection page's load fills its
// two lists, in the order vw_COS returns them. Failures go to `steps` (the
// caller's own report); when none can be found the administrator is told
// "No COS objects found in the backed up database!  Exiting..." and the
// program ends.
std::vector<ClassOfService> LoadClassesOfService(AppContext& app, StepRunner& steps);
// The first class of service whose display name is exactly `name`.
std::optional<ClassOfService> findClassOfService(const std::vector<ClassOfService>& list, const QString& name);

// What "Add Subscribers To Grid" needs from the page: the chosen mode and
// the inputs of that mode, as typed or chosen.
struct SelectionRequest
{
    int mode = static_cast<int>(SelectionMode::AllSubscribers);
    QString low; // extension range, as typed
    QString high;
    QString csvPath;   // subscribers named in a CSV file
    QString cosName;   // the chosen class of service's entry text; empty when none is chosen
    QString cosId;     // and its object id
    QString subString; // sub strings separated by ";"
};

enum class RangeCheck { Accepted, NotNumeric, NotAscending };

// What the lookup behind a grid row found for one object id: read with one
// query each for the subscriber and its class of service, or from the columns
// withRowLookups adds to a set query.
struct SubscriberFound
{
    bool single = false;          // exactly one subscriber has that id
    std::optional<QString> cosId; // none: nothing to look up or name, skipped without a word
    bool singleCos = false;       // exactly one class of service has that id
    QString alias, firstName, lastName, displayName, extension, cosName, handlerId;
};

// A selection query (with an ObjectID column) and, beside each of its rows, what
// AddUserToGrid would look up for the row's ObjectID: one query for the lot,
// the database matching the ids. The selection is the left side of a left
// join, whose rows come in the selection's own order, each once: the
// subscriber's row is joined only when it is the one matched.
QString withRowLookups(const QString& selectionSql, const QString& orderBy = QString());
// Where those columns stand in such a recordset, found once for its walk
// (-1 for one it lacks, whose reading then fails as a missing field does).
struct RowLookupColumns
{
    RowLookupColumns() = default; // none found
    explicit RowLookupColumns(const Recordset& rs);
    struct Texts
    {
        int alias = -1, firstName = -1, lastName = -1, displayName = -1, extension = -1, handlerId = -1;
    };
    int matches = -1, cosId = -1, cosName = -1; // the name is null unless one class of service matched
    Texts texts;
};
// Reads those columns of the current row.
SubscriberFound foundInRow(const Recordset& rs, const RowLookupColumns& columns);
// The extension range's rule: both bounds numbers, neither negative, the
// lower not above the upper (equal bounds are one extension).
RangeCheck checkExtensionRange(const QString& low, const QString& high);

// Fills the selection grid from the product database: the lookup behind
// every row (AddUserToGrid), the five query procedures and the CSV import,
// and the Add Subscribers step that picks one of them. Messages go to the
// administrator through the context's user interface; progress goes to
// `progress`. Nothing here writes to the database.
class SubscriberSelection
{
public:
    // A notice, not a failure: subscribers without an extension are in no range.
    static inline const QString kWithoutExtensionNotice =
        QStringLiteral("Subscribers without an extension lie in no range and were not added: ");
    SubscriberSelection(AppContext& app, SelectionGrid& grid, SelectionProgress& progress);

    // "Add Subscribers To Grid": empties the grid, runs the mode's procedure
    // after the page's own checks, and returns the number of data rows the
    // grid then holds (what "Users in Grid" shows).
    int fillGrid(const SelectionRequest& request);

    // Looks the subscriber and its class of service up and appends a ticked row.
    void AddUserToGrid(const QString& objectId);
    // What AddUserToGrid does once the lookups are read: a message for a
    // subscriber or class of service not found once, else a ticked row.
    void addFound(const QString& objectId, const SubscriberFound& found);
    // Sends the row's id to AddUserToGrid, or with `lookups` to addFound with
    // what withRowLookups read beside it.
    void addRow(const Recordset& rs, const RowLookupColumns* lookups, const QString& objectId);

    void AddAllSubscribers();
    void AddSubscribersByExtensionRange(const QString& low, const QString& high);
    void AddSubscribersByCOS(const QString& cosObjectId);
    void AddSubscriberbyDisplayNameSubString(const QString& subStrings);
    void AddSubscriberbyCOSNameSubString(const QString& subStrings);
    void AddSubscribersFromCSV(const QString& path);

    // Facts about the data that are no failure (subscribers in no range) go
    // to the administrator as a message, or to `sink` where a page shows them
    // in a status line; and into the log when one is open.
    void setNoticeSink(std::function<void(const QString&)> sink) { m_noticeSink = std::move(sink); }
    void notice(const QString& text);

    AppContext& app() { return m_app; }
    SelectionGrid& grid() { return m_grid; }
    SelectionProgress& progress() { return m_progress; }

private:
    // Opens the selection query with its row lookups, and says where they
    // stand; when that fails (or the context asks for one row at a time) the
    // query alone, reported as before, and nothing.
    std::optional<RowLookupColumns> openSelection(Recordset& rs, const QString& sql, StepRunner& steps);
    template <typename Chosen>
    void addWithProgress(const QString& procedure, const QString& sql, const QString& notFound, Chosen&& chosen);
    void addBySubString(const QString& procedure, const QString& sql, const QString& subStrings);

    AppContext& m_app;
    SelectionGrid& m_grid;
    SelectionProgress& m_progress;
    std::function<void(const QString&)> m_noticeSink;
};

} // namespace tarnwick
