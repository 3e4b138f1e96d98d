#include "select/SelectionGrid.h"

#include <QSignalSpy>
#include <QtTest>

using namespace tarnwick;

namespace {

void appendRows(SelectionGrid& grid, int count)
{
    for (int i = 0; i < count; ++i) {
        grid.AddItem(QString::number(grid.Rows()));
        grid.setCellChecked(grid.Rows() - 1, SelectionGrid::Selected, true);
    }
}

} // namespace

class TestSelectionGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysMatchWithoutLetterCase_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("index");
        QTest::newRow("selected") << QStringLiteral("selected") << 1;
        QTest::newRow("Selected") << QStringLiteral("Selected") << 1;
        QTest::newRow("Displayname") << QStringLiteral("Displayname") << 3;
        QTest::newRow("EXTENSION") << QStringLiteral("EXTENSION") << 6;
        QTest::newRow("objectid") << QStringLiteral("objectid") << 9;
        QTest::newRow("header text is no key") << QStringLiteral("Display Name") << -1;
        QTest::newRow("empty") << QString() << -1;
    }
    void keysMatchWithoutLetterCase()
    {
        QFETCH(QString, key);
        QFETCH(int, index);
        SelectionGrid grid;
        QCOMPARE(grid.ColIndex(key), index);
    }

    void headerRowAndColumns()
    {
        SelectionGrid grid;
        QCOMPARE(grid.Rows(), 1);
        QStringList headers;
        QList<int> widths;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c) {
            headers << grid.TextMatrix(0, c);
            widths << SelectionGrid::columns()[static_cast<size_t>(c)].widthTwips;
        }
        QCOMPARE(headers, QStringList({QString(), QString(), QStringLiteral("Alias"),
                                       QStringLiteral("Display Name"), QStringLiteral("First Name"),
                                       QStringLiteral("Last Name"), QStringLiteral("Extension"),
                                       QStringLiteral("COS"), QStringLiteral("HandlerObjectID"),
                                       QStringLiteral("ObjectID")}));
        QCOMPARE(widths, QList<int>({270, 255, 1500, 2340, 1305, 1500, 1020, 960, 960, 960}));
    }

    void checkStatesReadBackAsOne_data()
    {
        QTest::addColumn<QVariant>("written");
        QTest::addColumn<int>("readBack");
        QTest::newRow("true") << QVariant(true) << 1;
        QTest::newRow("1") << QVariant(1) << 1;
        QTest::newRow("false") << QVariant(false) << 2;
        QTest::newRow("0") << QVariant(0) << 2;
    }
    void checkStatesReadBackAsOne()
    {
        QFETCH(QVariant, written);
        QFETCH(int, readBack);
        SelectionGrid grid;
        grid.AddItem(QStringLiteral("1"));
        grid.setCellChecked(1, SelectionGrid::Selected, !written.toBool());
        grid.setCellChecked(1, grid.ColIndex(QStringLiteral("selected")), written);
        QCOMPARE(grid.CellChecked(1, SelectionGrid::Selected), readBack);
        QCOMPARE(AnySubscriberSelected(grid), readBack == SelectionGrid::kChecked);
    }

    void anySubscriberSelected_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<bool>("expected");
        QTest::newRow("header only") << 0 << QList<int>() << false;
        QTest::newRow("none ticked") << 3 << QList<int>() << false;
        QTest::newRow("first") << 3 << QList<int>({1}) << true;
        QTest::newRow("last") << 3 << QList<int>({3}) << true;
        QTest::newRow("last of 40000") << 40000 << QList<int>({40000}) << true;
    }
    void anySubscriberSelected()
    {
        QFETCH(int, rows);
        QFETCH(QList<int>, ticked);
        QFETCH(bool, expected);
        SelectionGrid grid;
        appendRows(grid, rows);
        grid.UnselectAll();
        for (int r : ticked)
            grid.setCellChecked(r, SelectionGrid::Selected, 1);
        QCOMPARE(AnySubscriberSelected(grid), expected);
    }

    void clickFlipsOnlyRightOfTheCheckBox_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<bool>("flips");
        QTest::newRow("alias") << 2 << 2 << true;
        QTest::newRow("object id") << 2 << 9 << true;
        QTest::newRow("check box") << 2 << 1 << false;
        QTest::newRow("row number") << 2 << 0 << false;
        QTest::newRow("header") << 0 << 3 << false;
    }
    void clickFlipsOnlyRightOfTheCheckBox()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(bool, flips);
        SelectionGrid grid;
        appendRows(grid, 3);
        grid.setCurrentCell(row, col);
        grid.clickCurrentCell();
        QCOMPARE(grid.isTicked(2), !flips);
        grid.clickCurrentCell();
        QVERIFY(grid.isTicked(2));
        QVERIFY(grid.isTicked(1) && grid.isTicked(3));
    }

    void resetLeavesNothingToFlip()
    {
        SelectionGrid grid;
        appendRows(grid, 2);
        grid.setCurrentCell(1, 4);
        grid.resetCurrentCell();
        grid.clickCurrentCell();
        QVERIFY(grid.isTicked(1));
        QCOMPARE(grid.currentRow(), 0);
        QCOMPARE(grid.currentCol(), 0);
    }

    void onlyTheCheckBoxIsEditable()
    {
        SelectionGrid grid;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
            QCOMPARE(grid.allowsEditing(c), c == grid.ColIndex(QStringLiteral("Selected")));
    }

    void selectAllAndDeselectAll()
    {
        SelectionGrid grid;
        QSignalSpy checks(&grid, &SelectionGrid::allChecksChanged);
        QSignalSpy cells(&grid, &SelectionGrid::cellChanged);
        grid.SelectAll();
        grid.UnselectAll();
        QCOMPARE(grid.Rows(), 1);
        QCOMPARE(checks.count(), 0);

        appendRows(grid, 5);
        cells.clear();
        grid.UnselectAll();
        QVERIFY(!AnySubscriberSelected(grid));
        grid.SelectAll();
        QVERIFY(AnySubscriberSelected(grid));
        for (int r = 1; r < grid.Rows(); ++r)
            QCOMPARE(grid.CellChecked(r, SelectionGrid::Selected), SelectionGrid::kChecked);
        QCOMPARE(checks.count(), 2);
        QCOMPARE(cells.count(), 0); // one notice per button, not one per row
        QCOMPARE(grid.Rows(), 6);
    }

    void redrawOffIsSilentUntilSwitchedOn()
    {
        SelectionGrid grid;
        QSignalSpy resets(&grid, &SelectionGrid::gridReset);
        QSignalSpy appended(&grid, &SelectionGrid::rowsAppended);
        QSignalSpy cells(&grid, &SelectionGrid::cellChanged);
        grid.setRedraw(false);
        appendRows(grid, 10);
        grid.setTextMatrix(3, SelectionGrid::Alias, QStringLiteral("x"));
        QCOMPARE(appended.count() + cells.count() + resets.count(), 0);
        grid.setRedraw(true);
        QCOMPARE(resets.count(), 1);
        grid.setRows(1);
        QCOMPARE(grid.Rows(), 1);
        QCOMPARE(resets.count(), 2);
    }

    // No 16-bit limits: every counter and index goes past 32,767.
    void hundredThousandRows()
    {
        SelectionGrid grid;
        grid.setRedraw(false);
        appendRows(grid, 100000);
        grid.setRedraw(true);
        QCOMPARE(grid.Rows(), 100001);
        QCOMPARE(grid.TextMatrix(100000, 0), QStringLiteral("100000"));
        QCOMPARE(grid.TextMatrix(40000, 0), QStringLiteral("40000"));
        grid.UnselectAll();
        QVERIFY(!AnySubscriberSelected(grid));
        grid.setCurrentCell(99999, SelectionGrid::Alias);
        grid.clickCurrentCell();
        QVERIFY(AnySubscriberSelected(grid));
        QVERIFY(grid.isTicked(99999));
        grid.SelectAll();
        int ticked = 0;
        for (int r = 1; r < grid.Rows(); ++r)
            ticked += grid.isTicked(r) ? 1 : 0;
        QCOMPARE(ticked, 100000);
    }
};

QTEST_GUILESS_MAIN(TestSelectionGrid)
#include "tst_selectiongrid.moc"
