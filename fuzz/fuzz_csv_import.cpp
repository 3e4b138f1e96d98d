// Any bytes as the CSV file of subscribers, imported into the grid over a small organisation in SQLite through the
// ODBC driver, as the selection page does. Only the organisation's selectable subscribers reach the grid, each line
// is counted once, and the database is never changed (quotes in the fields stay inside their literals).
#include "FuzzSupport.h"

#include "select/CsvSubscriberImport.h"
#include "select/SelectFixture.h"

#include <QCoreApplication>
#include <QSqlQuery>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

Bench* bench = nullptr;

qint64 rowsInDatabase()
{
    QSqlQuery q(bench->db->connection());
    q.exec(u"SELECT (SELECT COUNT(*) FROM Subscriber) + (SELECT COUNT(*) FROM DTMFAccess)"_s);
    return q.next() ? q.value(0).toLongLong() : -1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("ODBCSYSINI", TARNWICK_ODBC_SQLITE_DIR);
    qputenv("QT_LOGGING_RULES", "*.warning=false");
    new QCoreApplication(*argc, *argv);
    bench = new Bench;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const qint64 rows = rowsInDatabase();
    static const QStringList selectable = names("jsmith jwhite o'brien nofirst blank nocos lostcos");
    const QString path = writeFile(bench->env.path(u"subscribers.csv"_s), fuzz::bytesOf(data, size));
    bench->env.ui.clear();
    CsvSubscriberImport import(bench->selection);
    bench->grid.setRows(1);
    import.run(path);
    for (const QString& alias : gridAliases(bench->grid))
        fuzz::require(selectable.contains(alias), "a stranger reached the grid", alias);
    fuzz::require(import.usersAdded() >= bench->grid.Rows() - 1, "rows without a lookup");
    const QString summary = bench->env.ui.texts().value(bench->env.ui.texts().size() - 1);
    fuzz::require(summary.startsWith(u"Import complete.  "_s + QString::number(import.linesRead()) + u" lines"_s),
                  "the summary does not count the lines read", summary);
    fuzz::require(rowsInDatabase() == rows, "the database changed");
    return 0;
}
