#include "platform/TextFileWriter.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace tarnwick {

namespace {

// A read-only target is still replaced. The save file will not open on a
// file it may not write, and on Windows a read-only file cannot be renamed
// over: the mark is lifted for those two moments only and put back at once.
class ReadOnlyLift
{
public:
    explicit ReadOnlyLift(const QString& path) : m_path(path)
    {
        const QFileInfo target(path);
        if (!target.isFile() || target.isWritable())
            return;
        m_permissions = target.permissions();
        m_lifted = QFile::setPermissions(path, *m_permissions | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    }
    ~ReadOnlyLift() { restore(); }
    ReadOnlyLift(const ReadOnlyLift&) = delete;
    ReadOnlyLift& operator=(const ReadOnlyLift&) = delete;
    // The file was replaced: what is at the path now is the new file.
    void replaced() { m_lifted = false; }
    void restore()
    {
        if (m_lifted)
            QFile::setPermissions(m_path, *m_permissions);
        m_lifted = false;
    }

private:
    QString m_path;
    std::optional<QFileDevice::Permissions> m_permissions;
    bool m_lifted = false;
};

// A folder where the file should be: Qt says so in words of its own, without a system error.
void throwIfFolder(const QString& path)
{
    if (QFileInfo(path).isDir())
        throw Failure(ErrorNumber::PathFileAccess, QStringLiteral("Path/File access error"));
}

} // namespace

TextFileWriter::TextFileWriter() : m_encoder(FileSystem::codePageEncoder()) {}

TextFileWriter::~TextFileWriter()
{
    if (m_owned)
        m_owned->close();
    // An unfinished Replace file is removed by its own destructor.
}

void TextFileWriter::open(const QString& path, Mode mode, Encoding encoding)
{
    discard();
    m_failure.reset();
    // The mark goes out once, before the first line: the encoder's own flag
    // would write it again after every reset, that is on every line.
    m_encoder =
        encoding == Encoding::Utf8WithBom ? QStringEncoder(QStringConverter::Utf8) : FileSystem::codePageEncoder();
    m_bomPending = encoding == Encoding::Utf8WithBom;
    if (mode == Mode::Replace) {
        throwIfFolder(path);
        auto file = std::make_unique<QSaveFile>(path);
        file->setDirectWriteFallback(false); // never write into the target itself
        {
            const ReadOnlyLift lift(path);
            errno = 0;
            if (!file->open(QIODevice::WriteOnly))
                throw FileSystem::lastFailure();
        }
        m_replacing = std::move(file);
        m_device = m_replacing.get();
        return;
    }
    auto file = std::make_unique<QFile>(path);
    const QIODevice::OpenMode how =
        QIODevice::WriteOnly | (mode == Mode::Append ? QIODevice::Append : QIODevice::Truncate);
    throwIfFolder(path);
    errno = 0;
    if (!file->open(how))
        throw FileSystem::lastFailure();
    m_owned = std::move(file);
    m_device = m_owned.get();
}

bool TextFileWriter::isOpen() const
{
    return m_device && m_device->isOpen();
}

QByteArray TextFileWriter::encode(const QString& text)
{
    m_encoder.resetState();
    QByteArray bytes = m_encoder.encode(text);
    m_lastLineLost = m_encoder.hasError();
    if (!m_lastLineLost)
        return bytes;
    // As the code page does: what it cannot hold becomes a question mark
    // (some converters would put a control character there instead).
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        m_encoder.resetState();
        const QByteArray one = m_encoder.encode(QStringView(text).mid(i, n));
        bytes += m_encoder.hasError() ? QByteArray("?") : one;
        i += n;
    }
    m_encoder.resetState();
    return bytes;
}

void TextFileWriter::fail(const Failure& failure)
{
    m_failure = failure;
    throw failure;
}

void TextFileWriter::writeLine(const QString& text)
{
    if (m_failure)
        return;
    if (!isOpen())
        throw Failure(ErrorNumber::BadFileMode, QStringLiteral("Bad file mode"));
    QByteArray bytes = encode(text);
    if (m_bomPending)
        bytes.prepend("\xEF\xBB\xBF", 3);
    bytes.append("\r\n", 2);
    errno = 0;
    if (m_device->write(bytes) != bytes.size())
        fail(FileSystem::lastFailure());
    m_bomPending = false;
}

void TextFileWriter::close()
{
    if (!isOpen() && !m_failure)
        throw Failure(ErrorNumber::BadFileMode, QStringLiteral("Bad file mode"));
    if (m_failure || !isOpen()) {
        discard();
        return;
    }
    if (m_replacing) {
        errno = 0;
        if (!m_replacing->flush()) {
            const Failure failure = FileSystem::lastFailure();
            discard();
            fail(failure);
        }
        ReadOnlyLift lift(m_replacing->fileName());
        errno = 0;
        if (!m_replacing->commit()) {
            const Failure failure = FileSystem::lastFailure();
            lift.restore();
            m_replacing.reset();
            m_device = nullptr;
            fail(failure);
        }
        lift.replaced();
        m_replacing.reset();
        m_device = nullptr;
        return;
    }
    auto* file = qobject_cast<QFileDevice*>(m_device);
    errno = 0;
    if (file && !file->flush()) {
        const Failure failure = FileSystem::lastFailure();
        discard();
        fail(failure);
    }
    m_device->close();
    m_owned.reset();
    m_device = nullptr;
}

void TextFileWriter::discard()
{
    if (m_replacing)
        m_replacing->cancelWriting();
    m_replacing.reset();
    if (m_owned)
        m_owned->close();
    m_owned.reset();
    m_device = nullptr;
}

} // namespace tarnwick
