// The CSV import's line reader against a plain splitter: the same lines, whatever the line ends (CR, LF, CR LF) and
// however the file arrives in pieces (run in a UTF-8 locale). The first byte chooses the piece size, so CR LF falls
// across a boundary.
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "select/CsvSubscriberImport.h"

#include <QIODevice>
#include <QList>
#include <QStringDecoder>

#include <cstring>

using namespace tarnwick;

namespace {

// Hands the file over at most `piece` bytes per read, as a pipe or a slow disk may.
class PieceDevice : public QIODevice
{
public:
    PieceDevice(QByteArray bytes, qint64 piece) : m_bytes(std::move(bytes)), m_piece(piece)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = qMin(qMin(maxSize, m_piece), qint64(m_bytes.size()) - m_pos);
        std::memcpy(data, m_bytes.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_piece;
    qint64 m_pos = 0;
};

QList<QByteArray> referenceLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines.append(bytes.mid(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append(bytes.mid(start));
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const qint64 piece = data[0] == 0 ? 64 * 1024 : data[0];
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    PieceDevice device(file, piece);
    TextLineReader reader(device);
    // A byte-order mark at the start is no part of the first line; further on it is a character like any other.
    const QList<QByteArray> expected = referenceLines(file.startsWith("\xEF\xBB\xBF") ? file.mid(3) : file);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    qsizetype n = 0;
    while (!reader.atEnd()) {
        const QString line = reader.readLine();
        fuzz::require(n < expected.size(), "more lines than the file has");
        utf8.resetState();
        fuzz::require(line == QString(utf8.decode(expected[n])), "line differs", QString::number(n));
        ++n;
    }
    fuzz::require(n == expected.size(), "lines lost");
    try {
        reader.readLine();
        fuzz::fail("read past the end");
    } catch (const Failure& f) {
        fuzz::require(f.number() == 62, "wrong error past the end");
    }
    return 0;
}
