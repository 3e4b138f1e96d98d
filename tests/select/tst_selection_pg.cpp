// The selection on a PostgreSQL product database, read as a role that may
// only SELECT: column names come back folded to lower case, and the queries'
// texts must mean the same there.
#include "SelectFixture.h"
#include "app/AppContext.h"
#include "app/StepRunner.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"
#include "support/PostgresDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
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

        TestEnvironment env;
        env.app->strConnectionString = pg.connectionString();
        SelectionGrid grid;
        ProgressLabels progress;
        SubscriberSelection selection(*env.app, grid, progress);
        auto aliases = [&] {
            QStringList out;
            for (int r = 1; r < grid.Rows(); ++r)
                out << grid.text(r, QStringLiteral("Alias"));
            out.sort();
            return out;
        };

        StepRunner steps;
        const std::vector<ClassOfService> classes = LoadClassesOfService(*env.app, steps);
        QCOMPARE(classes.size(), size_t(3));
        const std::optional<ClassOfService> executives =
            findClassOfService(classes, QStringLiteral("Executives"));
        QVERIFY(executives);

        const QString csv = env.path(QStringLiteral("pick.csv"));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Extension,alias\r\n0123,\r\n,o'brien\r\n,x' OR '1'='1\r\n");
        file.close();

        struct Case
        {
            SelectionRequest request;
            QStringList aliases;
        };
        auto request = [](int mode) {
            SelectionRequest r;
            r.mode = mode;
            return r;
        };
        QList<Case> cases;
        cases.append({request(1), allSelectableAliases()});
        cases.append(
            {request(2),
             {QStringLiteral("jwhite"), QStringLiteral("nofirst"), QStringLiteral("o'brien")}});
        cases.last().request.low = QStringLiteral("100");
        cases.last().request.high = QStringLiteral("200");
        cases.append({request(6), {QStringLiteral("jwhite"), QStringLiteral("o'brien")}});
        cases.last().request.csvPath = csv;
        cases.append({request(7), {QStringLiteral("jwhite")}});
        cases.last().request.cosName = executives->displayName;
        cases.last().request.cosId = executives->objectId;
        cases.append({request(10), {QStringLiteral("jsmith"), QStringLiteral("nofirst")}});
        cases.last().request.subString = QStringLiteral("smith");
        cases.append({request(11), {QStringLiteral("jwhite"), QStringLiteral("system")}});
        cases.last().request.subString = QStringLiteral("EXEC");

        for (const Case& c : std::as_const(cases)) {
            env.ui.clear();
            QStringList expected = c.aliases;
            expected.sort(); // no ORDER BY: the server's order is its own
            QCOMPARE(selection.fillGrid(c.request), expected.size());
            QCOMPARE(aliases(), expected);
            for (const QString& text : env.ui.texts()) {
                // Only the data's own oddities may be reported: never a refused query.
                QVERIFY2(text.startsWith(QStringLiteral(
                             "Unable to find single COS instance by ObjectID=cos-gone")) ||
                             text.startsWith(QStringLiteral("Error 94 (Invalid use of Null)")) ||
                             text.startsWith(QStringLiteral("Import complete.")),
                         qPrintable(text));
            }
        }
        const int row = grid.text(1, QStringLiteral("Alias")) == QStringLiteral("jwhite") ? 1 : 2;
        QCOMPARE(grid.text(row, QStringLiteral("COS")), QStringLiteral("Executives"));
        QCOMPARE(grid.text(row, QStringLiteral("HandlerObjectID")), QStringLiteral("h-2"));
        QCOMPARE(grid.text(row, QStringLiteral("Extension")), QStringLiteral("0123"));
    }
};

QTEST_GUILESS_MAIN(TestSelectionPg)
#include "tst_selection_pg.moc"
