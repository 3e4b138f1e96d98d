#include "select/SelectionGrid.h"

namespace tarnwick {

const std::array<SelectionGrid::ColumnInfo, SelectionGrid::kColumnCount>& SelectionGrid::columns()
{
    static const std::array<ColumnInfo, kColumnCount> info{{
        {QString(), QString(), 270, false},
        {QStringLiteral("Selected"), QString(), 255, true},
        {QStringLiteral("Alias"), QStringLiteral("Alias"), 1500, true},
        {QStringLiteral("DisplayName"), QStringLiteral("Display Name"), 2340, true},
        {QStringLiteral("FirstName"), QStringLiteral("First Name"), 1305, true},
        {QStringLiteral("LastName"), QStringLiteral("Last Name"), 1500, true},
        {QStringLiteral("Extension"), QStringLiteral("Extension"), 1020, true},
        {QStringLiteral("COS"), QStringLiteral("COS"), 960, true},
        {QStringLiteral("HandlerObjectID"), QStringLiteral("HandlerObjectID"), 960, false},
        {QStringLiteral("ObjectID"), QStringLiteral("ObjectID"), 960, false},
    }};
    return info;
}

SelectionGrid::SelectionGrid(QObject* parent) : QObject(parent) {}

void SelectionGrid::setRows(int rows)
{
    const size_t data = rows > 1 ? static_cast<size_t>(rows - 1) : 0;
    if (data == m_rows.size())
        return;
    m_rows.resize(data);
    if (m_redraw)
        Q_EMIT gridReset();
}

int SelectionGrid::ColIndex(const QString& key) const
{
    if (key.isEmpty())
        return -1;
    const auto& cols = columns();
    for (int i = 0; i < kColumnCount; ++i) {
        if (cols[static_cast<size_t>(i)].key.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void SelectionGrid::AddItem(const QString& rowNumberText)
{
    Row row;
    row.cells[RowNumber] = rowNumberText;
    m_rows.push_back(std::move(row));
    if (m_redraw)
        Q_EMIT rowsAppended(Rows() - 1, Rows() - 1);
}

SelectionGrid::Row* SelectionGrid::dataRow(int row)
{
    if (row < 1 || row > static_cast<int>(m_rows.size()))
        return nullptr;
    return &m_rows[static_cast<size_t>(row - 1)];
}

const SelectionGrid::Row* SelectionGrid::dataRow(int row) const
{
    return const_cast<SelectionGrid*>(this)->dataRow(row);
}

QString SelectionGrid::TextMatrix(int row, int col) const
{
    if (col < 0 || col >= kColumnCount)
        return QString();
    if (row == 0)
        return columns()[static_cast<size_t>(col)].header;
    const Row* r = dataRow(row);
    return r ? r->cells[static_cast<size_t>(col)] : QString();
}

void SelectionGrid::setTextMatrix(int row, int col, const QString& text)
{
    Row* r = dataRow(row);
    if (!r || col < 0 || col >= kColumnCount)
        return;
    r->cells[static_cast<size_t>(col)] = text;
    if (m_redraw)
        Q_EMIT cellChanged(row, col);
}

int SelectionGrid::CellChecked(int row, int col) const
{
    const Row* r = dataRow(row);
    if (!r || col != Selected)
        return 0;
    return r->checked ? kChecked : kUnchecked;
}

void SelectionGrid::setCellChecked(int row, int col, const QVariant& state)
{
    Row* r = dataRow(row);
    if (!r || col != Selected)
        return;
    bool tick = false;
    if (state.metaType().id() == QMetaType::Bool)
        tick = state.toBool();
    else
        tick = state.toInt() == kChecked;
    if (r->checked == tick)
        return;
    r->checked = tick;
    if (m_redraw)
        Q_EMIT cellChanged(row, col);
}

bool SelectionGrid::isTicked(int row) const
{
    return CellChecked(row, Selected) == kChecked;
}

void SelectionGrid::setRedraw(bool on)
{
    if (m_redraw == on)
        return;
    m_redraw = on;
    if (on)
        Q_EMIT gridReset();
}

void SelectionGrid::setCurrentCell(int row, int col)
{
    m_currentRow = row;
    m_currentCol = col;
}

void SelectionGrid::clickCurrentCell()
{
    if (m_currentRow <= 0 || m_currentCol <= 1)
        return;
    const int selected = ColIndex(QStringLiteral("Selected"));
    setCellChecked(m_currentRow, selected, CellChecked(m_currentRow, selected) == kChecked ? 0 : 1);
}

void SelectionGrid::setAllTicked(bool ticked)
{
    // One notice for the whole column rather than one per row.
    const bool redraw = m_redraw;
    m_redraw = false;
    const int selected = ColIndex(QStringLiteral("selected"));
    for (int r = 1; r < Rows(); ++r)
        setCellChecked(r, selected, ticked);
    m_redraw = redraw;
    if (redraw && Rows() > 1)
        Q_EMIT allChecksChanged();
}

bool AnySubscriberSelected(const SelectionGrid& grid)
{
    if (grid.Rows() < 2)
        return false;
    for (int r = 1; r < grid.Rows(); ++r) {
        if (grid.CellChecked(r, grid.ColIndex(QStringLiteral("Selected"))) == SelectionGrid::kChecked)
            return true;
    }
    return false;
}

} // namespace tarnwick
