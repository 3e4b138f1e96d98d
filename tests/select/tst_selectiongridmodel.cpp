#include "select/SelectionGrid.h"
#include "select/SelectionGridModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using namespace tarnwick;

namespace {

void appendTicked(SelectionGrid& grid, const QString& alias)
{
    grid.AddItem(QString::number(grid.Rows()));
    const int row = grid.Rows() - 1;
    grid.setCellChecked(row, SelectionGrid::Selected, true);
    grid.setTextMatrix(row, SelectionGrid::Alias, alias);
}

} // namespace

class TestSelectionGridModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsTheGrid()
    {
        SelectionGrid grid;
        SelectionGridModel model(grid);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        appendTicked(grid, QStringLiteral("a"));
        appendTicked(grid, QStringLiteral("b"));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(model.data(model.index(1, SelectionGrid::Alias)).toString(), QStringLiteral("b"));
        QCOMPARE(model.data(model.index(1, SelectionGrid::Selected), Qt::CheckStateRole).toInt(),
                 int(Qt::Checked));
        QVERIFY(!model.data(model.index(1, SelectionGrid::Selected)).isValid());
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Display Name"));

        // A load with redraw off reaches the view as one reset, not row by row.
        inserted.clear();
        changed.clear();
        grid.setRows(1);
        grid.setRedraw(false);
        for (int i = 0; i < 50; ++i)
            appendTicked(grid, QStringLiteral("r%1").arg(i));
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(inserted.count() + changed.count(), 0);
        grid.setRedraw(true);
        QCOMPARE(model.rowCount(), 50);
        QCOMPARE(resets.count(), 2);

        grid.UnselectAll();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.data(model.index(49, SelectionGrid::Selected), Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));
    }

    void onlyTheCheckBoxCanBeChanged()
    {
        SelectionGrid grid;
        SelectionGridModel model(grid);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        appendTicked(grid, QStringLiteral("a"));
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c) {
            const Qt::ItemFlags flags = model.flags(model.index(0, c));
            QCOMPARE(bool(flags & Qt::ItemIsUserCheckable), c == SelectionGrid::Selected);
            QVERIFY(!(flags & Qt::ItemIsEditable));
        }
        QVERIFY(!model.setData(model.index(0, SelectionGrid::Alias), QStringLiteral("x")));
        QCOMPARE(grid.TextMatrix(1, SelectionGrid::Alias), QStringLiteral("a"));
        // Qt's "checked" is 2; the grid must still read back 1.
        QVERIFY(model.setData(model.index(0, SelectionGrid::Selected), Qt::Unchecked,
                              Qt::CheckStateRole));
        QVERIFY(!grid.isTicked(1));
        QVERIFY(model.setData(model.index(0, SelectionGrid::Selected), Qt::Checked,
                              Qt::CheckStateRole));
        QCOMPARE(grid.CellChecked(1, SelectionGrid::Selected), SelectionGrid::kChecked);
    }

    // No 16-bit limits in the view either: a 100,000-row load arrives whole.
    void hundredThousandRows()
    {
        SelectionGrid grid;
        SelectionGridModel model(grid);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        grid.setRedraw(false);
        for (int i = 0; i < 100000; ++i)
            appendTicked(grid, QString());
        grid.setRedraw(true);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 100000);
        QCOMPARE(model.data(model.index(99999, 0)).toString(), QStringLiteral("100000"));
        QVERIFY(model.setData(model.index(99999, SelectionGrid::Selected), Qt::Unchecked,
                              Qt::CheckStateRole));
        QVERIFY(!grid.isTicked(100000));
        QVERIFY(AnySubscriberSelected(grid));
    }

    void columnLayout()
    {
        SelectionGrid grid;
        SelectionGridModel model(grid);
        QTableView view;
        view.setModel(&model);
        SelectionGridModel::applyColumnLayout(view);
        QList<int> hidden;
        for (int c = 0; c < SelectionGrid::kColumnCount; ++c) {
            if (view.isColumnHidden(c))
                hidden << c;
        }
        QCOMPARE(hidden, QList<int>({0, 8, 9}));
        QCOMPARE(view.columnWidth(3), 2340 / 15);
    }
};

QTEST_MAIN(TestSelectionGridModel)
#include "tst_selectiongridmodel.moc"
