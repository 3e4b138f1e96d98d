// The selection on a PostgreSQL product database, read as a role that may
// only SELECT: column names come back folded to lower case, and the queries'
// texts must mean the same there.
#include "SelectFixture.h"
#include "app/StepRunner.h"
#include "support/PostgresDatabase.h"

#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

class TestSelectionPg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyModeAsAReader()
    {
        PostgresDatabase pg;
        TARNWICK_REQUIRE_POSTGRES(pg);
        addSelectionOrganisation(pg.database());
        Bench b(false);
        b.env.app->strConnectionString = pg.connectionString();
        const QString csv =
            b.write(u"pick.csv"_s, "Extension,alias\r\n0123,\r\n,o'brien\r\n,x' OR '1'='1\r\n");
        StepRunner steps;
        const std::optional<ClassOfService> executives =
            findClassOfService(LoadClassesOfService(*b.env.app, steps), u"Executives"_s);
        QVERIFY(executives);

        // mode, extension range, CSV path, class of service name and id, sub strings
        const QList<std::pair<SelectionRequest, QStringList>> cases = {
            {{1, {}, {}, {}, {}, {}, {}}, allSelectableAliases()},
            {{2, u"100"_s, u"200"_s, {}, {}, {}, {}}, names("jwhite o'brien nofirst")},
            {{6, {}, {}, csv, {}, {}, {}}, names("jwhite o'brien")},
            {{10, {}, {}, {}, {}, {}, u"smith"_s}, names("jsmith nofirst")},
            {{11, {}, {}, {}, {}, {}, u"EXEC"_s}, names("jwhite system")},
            {{7, {}, {}, {}, executives->displayName, executives->objectId, {}}, names("jwhite")}};
        for (const auto& [request, aliases] : cases) {
            b.env.ui.clear();
            QStringList expected = aliases;
            expected.sort(); // no ORDER BY: the server's order is its own
            QCOMPARE(b.selection.fillGrid(request), expected.size());
            QStringList found = gridAliases(b.grid);
            found.sort();
            QCOMPARE(found, expected);
            for (const QString& text : b.env.ui.texts()) {
                // Only the data's own oddities may be reported: never a refused query.
                QVERIFY2(text == kLostCos || text.startsWith(u"Error 94 (Invalid use of Null)"_s) ||
                             text.startsWith(u"Import complete."_s),
                         qPrintable(text));
            }
        }
        QCOMPARE(b.grid.text(1, u"COS"_s), u"Executives"_s);
        QCOMPARE(b.grid.text(1, u"HandlerObjectID"_s), u"h-2"_s);
        QCOMPARE(b.grid.text(1, u"Extension"_s), u"0123"_s);
    }
};

QTEST_GUILESS_MAIN(TestSelectionPg)
#include "tst_selection_pg.moc"
