#pragma once

#include <QIODevice>
#include <QString>
#include <QStringEncoder>

#include <memory>

namespace tarnwick {

// The one writer of the program's text files (log, CSV output): 8-bit text in
// the system's code page, every line ended by CR LF on every platform.
class TextFileWriter
{
public:
    TextFileWriter();
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    enum class Mode { Truncate, Append };

    // Opens a file; throws Failure when it cannot be opened.
    void open(const QString& path, Mode mode = Mode::Truncate);
    // Writes to a device the caller owns (tests use a QBuffer).
    void attach(QIODevice* device);

    bool isOpen() const;
    // Text followed by CR LF; throws Failure when nothing is open or the write fails.
    void writeLine(const QString& text);
    // Closes the file; throws Failure when nothing is open.
    void close();

private:
    std::unique_ptr<QIODevice> m_owned;
    QIODevice* m_device = nullptr;
    QStringEncoder m_encoder;
};

} // namespace tarnwick
