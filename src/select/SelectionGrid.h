#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <array>
#include <vector>

namespace tarnwick {

// The one record of chosen subscribers: a header row 0 and data rows 1..Rows()-1,
// ten columns addressed by key without letter case. Column 0 holds each row's
// number; column 1 ("Selected") holds a check state. The wizard shows it
// through a table model; the export and the headless command read it.
class SelectionGrid : public QObject
{
    Q_OBJECT
public:
    static constexpr int kColumnCount = 10;
    // The check state a ticked cell reads back as; anything else is not ticked.
    static constexpr int kChecked = 1;
    static constexpr int kUnchecked = 2;

    enum Column {
        RowNumber = 0, Selected, Alias, DisplayName, FirstName, LastName,
        Extension, COS, HandlerObjectID, ObjectID
    };

    struct ColumnInfo
    {
        QString key;
        QString header;
        int widthTwips;
        bool shown;
    };
    static const std::array<ColumnInfo, kColumnCount>& columns();

    explicit SelectionGrid(QObject* parent = nullptr);

    // Row count including the header row; setting 1 empties the grid.
    int Rows() const { return static_cast<int>(m_rows.size()) + 1; }
    void setRows(int rows);
    // Index of the column with that key, -1 when there is none.
    int ColIndex(const QString& key) const;

    // Appends a data row whose column 0 holds `rowNumberText`.
    void AddItem(const QString& rowNumberText);
    // Room for that many more rows, so that a large load does not move the
    // rows it has added each time the grid outgrows its storage.
    void reserveRows(qsizetype more) { m_rows.reserve(m_rows.size() + size_t(qMax<qsizetype>(more, 0))); }

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);
    // kChecked or kUnchecked for the Selected column of a data row; 0 elsewhere.
    int CellChecked(int row, int col) const;
    // True and 1 tick, false and 0 (and anything else) untick.
    void setCellChecked(int row, int col, const QVariant& state);
    bool isTicked(int row) const;

    // While redraw is off, no change is signalled; switching it on signals one reset.
    void setRedraw(bool on);
    bool redraw() const { return m_redraw; }

    // Convenience for the selection procedures: the text of a keyed column.
    QString text(int row, const QString& key) const { return TextMatrix(row, ColIndex(key)); }

    // The current cell, which a click makes current.
    int currentRow() const { return m_currentRow; }
    int currentCol() const { return m_currentCol; }
    void setCurrentCell(int row, int col);

    // A click in a data row right of the check box flips the row's tick; the
    // check box itself is flipped by editing it.
    void clickCurrentCell();
    // Only the check box may be edited.
    bool allowsEditing(int col) const { return col == ColIndex(QStringLiteral("Selected")); }
    // Back to the header's top-left cell, so a click that follows before a
    // cell is picked flips nothing.
    void resetCurrentCell() { setCurrentCell(0, 0); }

    void SelectAll() { setAllTicked(true); }
    void UnselectAll() { setAllTicked(false); }
    // Select All and deSelect All over some rows only (those a filter shows).
    void setTicked(const std::vector<int>& rows, bool ticked);
    int tickedCount() const;

    // A filter text matches a row when any shown column contains it, in any letter case.
    bool rowMatches(int row, const QString& filter) const;
    // Orders two data rows by a column: numbers as numbers and before other
    // texts, texts without letter case, ticked rows before unticked ones.
    bool rowLess(int left, int right, int col) const;

Q_SIGNALS:
    void gridReset();
    void rowsAppended(int firstRow, int lastRow);
    void cellChanged(int row, int col);
    // Every data row's check state may have changed (Select All, deSelect All).
    void allChecksChanged();

private:
    struct Row
    {
        std::array<QString, kColumnCount> cells;
        bool checked = false;
    };
    Row* dataRow(int row);
    const Row* dataRow(int row) const;

    void setAllTicked(bool ticked);

    std::vector<Row> m_rows;
    bool m_redraw = true;
    int m_currentRow = 0;
    int m_currentCol = 0;
};

// Part of the shared services: true when at least one data row is ticked.
bool AnySubscriberSelected(const SelectionGrid& grid);

} // namespace tarnwick
