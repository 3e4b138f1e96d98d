#pragma once

#include <QAbstractTableModel>

class QTableView;

namespace tarnwick {

class SelectionGrid;

// Shows the core's selection grid in a table view: one view row per data
// row, the grid's ten columns, the check box of column Selected as the
// item's check state. While the grid's redraw is off the view hears nothing;
// switching it on resets the view once.
class SelectionGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit SelectionGridModel(SelectionGrid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    SelectionGrid& grid() { return m_grid; }

    // Column widths and hidden columns as the grid defines them.
    static void applyColumnLayout(QTableView& view);

private:
    void onReset();
    void onRowsAppended(int firstRow, int lastRow);
    void onCellChanged(int row, int col);
    void onAllChecksChanged();

    SelectionGrid& m_grid;
    // The rows the view has been told about: signals arrive after the grid
    // has changed, so the count the view knows is kept here.
    int m_rows = 0;
};

} // namespace tarnwick
