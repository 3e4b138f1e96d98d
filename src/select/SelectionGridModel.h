#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>

#include <vector>

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

// What the view shows of the grid: the rows a filter text matches, in the
// order of the column last clicked. The rules are the grid's; the grid's own
// row order (the export's) never changes.
class SelectionGridFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    SelectionGridFilter(SelectionGridModel& source, QObject* parent = nullptr);

    void setFilterText(const QString& text);
    bool isFiltered() const { return !m_filter.trimmed().isEmpty(); }
    // The grid row (from 1) behind a view index, 0 for none.
    int gridRow(const QModelIndex& viewIndex) const;
    // The grid rows the view shows.
    std::vector<int> visibleRows() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    SelectionGrid& m_grid;
    QString m_filter;
};

// Shows the whole text of a cell that its column cuts off, as a tooltip.
class CutOffTextTips : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

} // namespace tarnwick
