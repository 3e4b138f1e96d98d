#pragma once

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

namespace tarnwick {

// The cells of a query's result, row by row, each as the text the database
// gave or null, held compactly: a text whose characters all fit in a byte
// takes a byte each, any other two, in large blocks shared by every cell.
// A list of a million members held as a QString per cell took about three
// times the memory. Texts come back exactly as they went in.
class CellStore
{
public:
    CellStore() = default;
    CellStore(CellStore&&) noexcept = default;
    CellStore& operator=(CellStore&&) noexcept = default;

    void append(QStringView text);
    void appendNull();

    qsizetype size() const noexcept { return m_size; }
    bool isNull(qsizetype cell) const { return place(cell).length == kNull; }
    // The cell's text; a null cell gives a null QString.
    QString text(qsizetype cell) const;

private:
    struct Place
    {
        quint32 block;
        quint32 offset;
        quint32 length; // characters, with the marks below
    };
    static constexpr quint32 kNull = 0xFFFFFFFFu;
    static constexpr quint32 kWide = 0x80000000u; // two bytes a character
    static constexpr int kPlacesShift = 16;       // places in pages of 65,536
    static constexpr qsizetype kBlockBytes = qsizetype(1) << 20;

    const Place& place(qsizetype cell) const
    {
        return m_places[size_t(cell >> kPlacesShift)][size_t(cell & ((qsizetype(1) << kPlacesShift) - 1))];
    }
    Place& newPlace();
    char* room(qsizetype bytes, Place& place);

    // Pages and blocks never move once made, so a large result never needs
    // twice its size while it grows.
    std::vector<std::unique_ptr<Place[]>> m_places;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    qsizetype m_size = 0;
    qsizetype m_blockUsed = 0;
    qsizetype m_blockSize = 0;
};

} // namespace tarnwick
