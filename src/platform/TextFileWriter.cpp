#include "platform/TextFileWriter.h"

#include "app/Failure.h"

#include <QFile>

namespace tarnwick {

TextFileWriter::TextFileWriter() : m_encoder(QStringConverter::System) {}

TextFileWriter::~TextFileWriter()
{
    if (m_owned)
        m_owned->close();
}

void TextFileWriter::open(const QString& path, Mode mode)
{
    if (m_owned)
        m_owned->close();
    m_device = nullptr;
    auto file = std::make_unique<QFile>(path);
    const QIODevice::OpenMode how = QIODevice::WriteOnly
                                    | (mode == Mode::Append ? QIODevice::Append : QIODevice::Truncate);
    if (!file->open(how)) {
        const int number = file->error() == QFileDevice::PermissionsError ? ErrorNumber::PermissionDenied
                                                                           : ErrorNumber::PathNotFound;
        throw Failure(number, file->errorString());
    }
    m_owned = std::move(file);
    m_device = m_owned.get();
}

void TextFileWriter::attach(QIODevice* device)
{
    if (m_owned)
        m_owned->close();
    m_owned.reset();
    m_device = device;
}

bool TextFileWriter::isOpen() const
{
    return m_device && m_device->isOpen();
}

void TextFileWriter::writeLine(const QString& text)
{
    if (!isOpen())
        throw Failure(ErrorNumber::BadFileMode, QStringLiteral("Bad file mode"));
    QByteArray bytes = m_encoder.encode(text);
    bytes.append("\r\n", 2);
    if (m_device->write(bytes) != bytes.size())
        throw Failure(ErrorNumber::PermissionDenied, m_device->errorString());
}

void TextFileWriter::close()
{
    if (!isOpen())
        throw Failure(ErrorNumber::BadFileMode, QStringLiteral("Bad file mode"));
    m_device->close();
    m_owned.reset();
    m_device = nullptr;
}

} // namespace tarnwick
