#pragma once

#include "base/Failure.h"

#include <QIODevice>
#include <QString>
#include <QStringEncoder>

#include <memory>
#include <optional>

class QSaveFile;

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

    // Replace writes beside the target under a temporary name, and the file
    // takes the target's name only at close, when every byte is written: a
    // failed or interrupted run leaves the previous file as it was.
    enum class Mode { Truncate, Append, Replace };
    enum class Encoding { CodePage, Utf8WithBom };

    // Opens a file; throws Failure, numbered after its cause, when it cannot be opened.
    void open(const QString& path, Mode mode = Mode::Truncate, Encoding encoding = Encoding::CodePage);

    bool isOpen() const;
    // Text followed by CR LF; throws Failure when nothing is open, and once on
    // the first failed write. The lines after that one are dropped: the file
    // can no longer be whole.
    void writeLine(const QString& text);
    // The last line held characters the code page cannot hold; they went out as '?'.
    bool lastLineLost() const { return m_lastLineLost; }
    // The first failed write, flush or close; empty while all is well.
    const std::optional<Failure>& failure() const { return m_failure; }
    // Closes the file (a Replace file now takes the target's name); throws
    // Failure when nothing is open or the last bytes cannot be written. A
    // Replace file that had a failed write is dropped, never put in place.
    void close();
    // Closes without keeping anything: a Replace file is dropped and the target left alone.
    void discard();

private:
    [[noreturn]] void fail(const Failure& failure);
    QByteArray encode(const QString& text);

    std::unique_ptr<QIODevice> m_owned;
    std::unique_ptr<QSaveFile> m_replacing;
    QIODevice* m_device = nullptr;
    QStringEncoder m_encoder;
    std::optional<Failure> m_failure;
    bool m_lastLineLost = false;
    bool m_bomPending = false;
};

} // namespace tarnwick
