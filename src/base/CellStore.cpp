#include "base/CellStore.h"

#include "base/Failure.h"

#include <cstring>

namespace tarnwick {

CellStore::Place& CellStore::newPlace()
{
    const qsizetype inPage = m_size & ((qsizetype(1) << kPlacesShift) - 1);
    if (inPage == 0)
        m_places.push_back(std::make_unique_for_overwrite<Place[]>(size_t(1) << kPlacesShift));
    ++m_size;
    return m_places.back()[size_t(inPage)];
}

char* CellStore::room(qsizetype bytes, Place& place)
{
    if (m_blocks.empty() || m_blockUsed + bytes > m_blockSize) {
        m_blockSize = qMax(bytes, kBlockBytes);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size_t(m_blockSize)));
        m_blockUsed = 0;
    }
    place.block = quint32(m_blocks.size() - 1);
    place.offset = quint32(m_blockUsed);
    char* at = m_blocks.back().get() + m_blockUsed;
    m_blockUsed += bytes;
    return at;
}

void CellStore::append(QStringView text)
{
    if (quint64(text.size()) >= kWide)
        throw Failure(ErrorNumber::DatabaseError, QStringLiteral("A value too long to hold"));
    bool narrow = true;
    for (const QChar c : text) {
        if (c.unicode() > 0xFF) {
            narrow = false;
            break;
        }
    }
    Place& place = newPlace();
    place = {0, 0, quint32(text.size())};
    if (text.isEmpty())
        return;
    if (narrow) {
        char* at = room(text.size(), place);
        for (const QChar c : text)
            *at++ = char(c.unicode());
    } else {
        place.length |= kWide;
        std::memcpy(room(text.size() * 2, place), text.data(), size_t(text.size()) * 2);
    }
}

void CellStore::appendNull()
{
    newPlace() = {0, 0, kNull};
}

QString CellStore::text(qsizetype cell) const
{
    const Place& at = place(cell);
    if (at.length == kNull)
        return {};
    const qsizetype length = qsizetype(at.length & ~kWide);
    if (length == 0)
        return QString(QLatin1String(""));
    const char* data = m_blocks[at.block].get() + at.offset;
    if (!(at.length & kWide))
        return QString::fromLatin1(data, length);
    QString text(length, Qt::Uninitialized);
    std::memcpy(text.data(), data, size_t(length) * 2);
    return text;
}

} // namespace tarnwick
