#include "select/SelectionGrid.h"
#include "select/SelectionGridModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

void appendTicked(SelectionGrid& grid, int count)
{
    for (int i = 0; i < count; ++i) {
        grid.AddItem(QString::number(grid.Rows()));
        grid.setCellChecked(grid.Rows() - 1, SelectionGrid::Selected, true);
    }
}

} // namespace

// The grid and the table model the page shows it through.
class TestSelectionGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysIgnoreLetterCase_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("index");
        QTest::newRow("selected") << u"selected"_s << 1;
        QTest::newRow("Displayname") << u"Displayname"_s << 3;
        QTest::newRow("EXTENSION") << u"EXTENSION"_s << 6;
        QTest::newRow("header text is no key") << u"Display Name"_s << -1;
        QTest::newRow("empty") << QString() << -1;
    }
    void keysIgnoreLetterCase()
    {
        QFETCH(QString, key);
        QFETCH(int, index);
        QCOMPARE(SelectionGrid().ColIndex(key), index);
    }

    // Writers tick with true or 1 and untick with false or 0; a tick reads back as 1.
    void checkStates_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<QVariant>("written");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("header only") << 0 << 1 << QVariant(true) << false;
        QTest::newRow("true, first row") << 3 << 1 << QVariant(true) << true;
        QTest::newRow("1, last row") << 3 << 3 << QVariant(1) << true;
        QTest::newRow("false") << 3 << 2 << QVariant(false) << false;
        QTest::newRow("0") << 3 << 2 << QVariant(0) << false;
        QTest::newRow("Qt's checked is no 1") << 3 << 2 << QVariant(int(Qt::Checked)) << false;
    }
    void checkStates()
    {
        QFETCH(int, rows);
        QFETCH(int, row);
        QFETCH(QVariant, written);
        QFETCH(bool, ticked);
        SelectionGrid grid;
        appendTicked(grid, rows);
        grid.UnselectAll();
        QVERIFY(!AnySubscriberSelected(grid));
        grid.setCellChecked(row, SelectionGrid::Selected, !ticked);
        grid.setCellChecked(row, grid.ColIndex(u"selected"_s), written);
        QCOMPARE(grid.isTicked(row), ticked);
        QCOMPARE(grid.CellChecked(row, SelectionGrid::Selected),
                 rows == 0 ? 0 : (ticked ? 1 : SelectionGrid::kUnchecked));
        QCOMPARE(AnySubscriberSelected(grid), ticked);
    }

    void clickFlipsOnlyRightOfTheCheckBox_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<bool>("flips");
        QTest::newRow("alias") << 2 << 2 << false << true;
        QTest::newRow("object id") << 2 << 9 << false << true;
        QTest::newRow("check box") << 2 << 1 << false << false;
        QTest::newRow("row number") << 2 << 0 << false << false;
        QTest::newRow("header") << 0 << 3 << false << false;
        QTest::newRow("alias after a reset") << 2 << 2 << true << false;
    }
    void clickFlipsOnlyRightOfTheCheckBox()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(bool, reset);
        QFETCH(bool, flips);
        SelectionGrid grid;
        appendTicked(grid, 3);
        grid.setCurrentCell(row, col);
        if (reset)
            grid.resetCurrentCell();
        grid.clickCurrentCell();
        QCOMPARE(grid.isTicked(2), !flips);
        grid.clickCurrentCell();
        QVERIFY(grid.isTicked(1) && grid.isTicked(2) && grid.isTicked(3));
    }

    void modelFollowsTheGrid()
    {
        SelectionGrid grid;
        SelectionGridModel model(grid);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        grid.SelectAll(); // nothing to tick, nothing to tell
        grid.UnselectAll();
        QCOMPARE(changed.count(), 0);

        QStringList headers;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c)
            headers << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({QString(), QString(), u"Alias"_s, u"Display Name"_s,
                                       u"First Name"_s, u"Last Name"_s, u"Extension"_s, u"COS"_s,
                                       u"HandlerObjectID"_s, u"ObjectID"_s}));

        appendTicked(grid, 2);
        grid.setTextMatrix(2, SelectionGrid::Alias, u"b"_s);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.data(model.index(1, SelectionGrid::Alias)).toString(), u"b"_s);
        QCOMPARE(model.data(model.index(1, SelectionGrid::Selected), Qt::CheckStateRole),
                 QVariant(Qt::Checked));

        // A load with redraw off reaches the view as one reset, not row by row.
        grid.setRows(1);
        resets.clear();
        changed.clear();
        grid.setRedraw(false);
        appendTicked(grid, 50);
        QCOMPARE(model.rowCount(), 0);
        grid.setRedraw(true);
        QCOMPARE(model.rowCount(), 50);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(changed.count(), 0);

        grid.UnselectAll();
        QVERIFY(changed.count() > 0);
        QCOMPARE(model.data(model.index(49, SelectionGrid::Selected), Qt::CheckStateRole),
                 QVariant(Qt::Unchecked));
    }

    void onlyTheCheckBoxCanBeChanged()
    {
        SelectionGrid grid;
        SelectionGridModel model(grid);
        appendTicked(grid, 1);
        grid.setTextMatrix(1, SelectionGrid::Alias, u"a"_s);
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c) {
            const Qt::ItemFlags flags = model.flags(model.index(0, c));
            QCOMPARE(bool(flags & Qt::ItemIsUserCheckable), c == SelectionGrid::Selected);
            QVERIFY(!(flags & Qt::ItemIsEditable));
        }
        QVERIFY(!model.setData(model.index(0, SelectionGrid::Alias), u"x"_s));
        QCOMPARE(grid.TextMatrix(1, SelectionGrid::Alias), u"a"_s);
        // The view speaks Qt's checked (2); the grid must still read back 1.
        QVERIFY(model.setData(model.index(0, 1), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!grid.isTicked(1));
        QVERIFY(model.setData(model.index(0, 1), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(grid.CellChecked(1, SelectionGrid::Selected), SelectionGrid::kChecked);
    }

    // No 16-bit limits: every counter and index, in the grid and its view, goes past 32,767.
    void hundredThousandRows()
    {
        SelectionGrid grid;
        SelectionGridModel model(grid);
        grid.setRedraw(false);
        appendTicked(grid, 100000);
        grid.setRedraw(true);
        QCOMPARE(grid.Rows(), 100001);
        QCOMPARE(model.rowCount(), 100000);
        QCOMPARE(model.data(model.index(99999, 0)).toString(), u"100000"_s);
        QCOMPARE(grid.TextMatrix(40000, 0), u"40000"_s);
        grid.UnselectAll();
        QVERIFY(model.setData(model.index(99999, 1), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(AnySubscriberSelected(grid));
        grid.setCurrentCell(100000, SelectionGrid::Alias);
        grid.clickCurrentCell();
        QVERIFY(!AnySubscriberSelected(grid));
        grid.SelectAll();
        int ticked = 0;
        for (int r = 1; r < grid.Rows(); ++r)
            ticked += grid.isTicked(r) ? 1 : 0;
        QCOMPARE(ticked, 100000);
    }
};

QTEST_GUILESS_MAIN(TestSelectionGrid)
#include "tst_selectiongrid.moc"
