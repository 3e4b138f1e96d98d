#include "select/SelectionGrid.h"

#include "select/NumberText.h"

#include <algorithm>

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

void SelectionGrid::setTicked(const std::vector<int>& rows, bool ticked)
{
    const bool redraw = m_redraw;
    m_redraw = false;
    for (int r : rows)
        setCellChecked(r, Selected, ticked);
    m_redraw = redraw;
    if (redraw && !rows.empty())
        Q_EMIT allChecksChanged();
}

int SelectionGrid::tickedCount() const
{
    return static_cast<int>(std::count_if(m_rows.cbegin(), m_rows.cend(), [](const Row& r) { return r.checked; }));
}

bool SelectionGrid::rowMatches(int row, const QString& filter) const
{
    const Row* r = dataRow(row);
    if (!r)
        return false;
    const QString wanted = filter.trimmed();
    if (wanted.isEmpty())
        return true;
    const auto& cols = columns();
    for (int c = Alias; c < kColumnCount; ++c) {
        if (cols[static_cast<size_t>(c)].shown &&
            r->cells[static_cast<size_t>(c)].contains(wanted, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool SelectionGrid::rowLess(int left, int right, int col) const
{
    const Row* a = dataRow(left);
    const Row* b = dataRow(right);
    if (!a || !b)
        return false;
    if (col == Selected)
        return a->checked && !b->checked;
    if (col < 0 || col >= kColumnCount)
        return false;
    const QString& x = a->cells[static_cast<size_t>(col)];
    const QString& y = b->cells[static_cast<size_t>(col)];
    const NumberReading nx = readNumber(x);
    const NumberReading ny = readNumber(y);
    if (nx.whole != ny.whole)
        return nx.whole;
    if (nx.whole && nx.value != ny.value)
        return nx.value < ny.value;
    return x.compare(y, Qt::CaseInsensitive) < 0;
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
