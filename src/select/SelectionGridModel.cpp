#include "select/SelectionGridModel.h"

#include "select/NumberText.h"
#include "select/SelectionGrid.h"
#include "widgets/WindowLayout.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QTableView>
#include <QToolTip>

namespace tarnwick {

SelectionGridModel::SelectionGridModel(SelectionGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_rows(grid.Rows() - 1)
{
    connect(&grid, &SelectionGrid::gridReset, this, &SelectionGridModel::onReset);
    connect(&grid, &SelectionGrid::rowsAppended, this, &SelectionGridModel::onRowsAppended);
    connect(&grid, &SelectionGrid::cellChanged, this, &SelectionGridModel::onCellChanged);
    connect(&grid, &SelectionGrid::allChecksChanged, this, &SelectionGridModel::onAllChecksChanged);
}

int SelectionGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int SelectionGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : SelectionGrid::kColumnCount;
}

QVariant SelectionGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = index.row() + 1;
    const int col = index.column();
    if (col == SelectionGrid::Selected) {
        if (role == Qt::CheckStateRole)
            return m_grid.CellChecked(row, col) == SelectionGrid::kChecked ? Qt::Checked
                                                                           : Qt::Unchecked;
        return QVariant();
    }
    if (role == Qt::DisplayRole)
        return m_grid.TextMatrix(row, col);
    // General alignment: numbers (extensions) to the right, other text to the left.
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (isNumericText(m_grid.TextMatrix(row, col)) ? Qt::AlignRight : Qt::AlignLeft));
    return QVariant();
}

QVariant SelectionGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= SelectionGrid::kColumnCount)
        return QVariant();
    return m_grid.TextMatrix(0, section);
}

Qt::ItemFlags SelectionGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // The edit-request rule: only the check box may be changed in place.
    if (m_grid.allowsEditing(index.column()))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool SelectionGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        role != Qt::CheckStateRole || !m_grid.allowsEditing(index.column()))
        return false;
    // The view speaks Qt::CheckState; the grid ticks on true and unticks on false.
    const bool ticked = value.toInt() == Qt::Checked;
    m_grid.setCellChecked(index.row() + 1, index.column(), ticked);
    return true;
}

void SelectionGridModel::applyColumnLayout(QTableView& view)
{
    const auto& columns = SelectionGrid::columns();
    for (int c = 0; c < SelectionGrid::kColumnCount; ++c) {
        const auto& info = columns[static_cast<size_t>(c)];
        view.setColumnWidth(c, layout::px(info.widthTwips));
        view.setColumnHidden(c, !info.shown);
    }
}

void SelectionGridModel::onReset()
{
    beginResetModel();
    m_rows = m_grid.Rows() - 1;
    endResetModel();
}

void SelectionGridModel::onRowsAppended(int firstRow, int lastRow)
{
    // Rows the view was not told about (appended while redraw was off) need a reset.
    if (firstRow - 1 != m_rows || lastRow != m_grid.Rows() - 1) {
        onReset();
        return;
    }
    beginInsertRows(QModelIndex(), firstRow - 1, lastRow - 1);
    m_rows = lastRow;
    endInsertRows();
}

void SelectionGridModel::onCellChanged(int row, int col)
{
    if (row < 1 || row > m_rows)
        return;
    const QModelIndex cell = index(row - 1, col);
    Q_EMIT dataChanged(cell, cell);
}

void SelectionGridModel::onAllChecksChanged()
{
    if (m_rows < 1)
        return;
    Q_EMIT dataChanged(index(0, SelectionGrid::Selected),
                       index(m_rows - 1, SelectionGrid::Selected), {Qt::CheckStateRole});
}

} // namespace tarnwick

namespace tarnwick {

SelectionGridFilter::SelectionGridFilter(SelectionGridModel& source, QObject* parent)
    : QSortFilterProxyModel(parent), m_grid(source.grid())
{
    setSourceModel(&source);
}

void SelectionGridFilter::setFilterText(const QString& text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    invalidateRowsFilter();
}

int SelectionGridFilter::gridRow(const QModelIndex& viewIndex) const
{
    const QModelIndex source = mapToSource(viewIndex);
    return source.isValid() ? source.row() + 1 : 0;
}

std::vector<int> SelectionGridFilter::visibleRows() const
{
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(rowCount()));
    for (int r = 0; r < rowCount(); ++r)
        rows.push_back(gridRow(index(r, 0)));
    return rows;
}

bool SelectionGridFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    return m_filter.isEmpty() || m_grid.rowMatches(sourceRow + 1, m_filter);
}

bool SelectionGridFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return m_grid.rowLess(left.row() + 1, right.row() + 1, left.column());
}

bool CutOffTextTips::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                               const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    // The cell's margins on both sides, as the style draws them.
    const int room = option.rect.width() - 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    if (!text.isEmpty() && option.fontMetrics.horizontalAdvance(text) > room)
        QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
    else
        QToolTip::hideText();
    return true;
}

} // namespace tarnwick
