#include "cli/Console.h"

#include <algorithm>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarnwick {

Console::Console(QIODevice& device, bool live)
    : m_device(device), m_encoder(QStringConverter::System), m_live(live)
{
}

bool Console::isTerminal(std::FILE* stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void Console::write(const QString& text)
{
    m_device.write(m_encoder.encode(text));
}

void Console::line(const QString& text)
{
    endStatus();
    write(text + QLatin1Char('\n'));
}

void Console::status(const QString& text)
{
    if (!m_live)
        return;
    // Padded to the full width, so a shorter text leaves nothing of the last one.
    QString shown = text.left(kWidth);
    shown = shown.leftJustified(kWidth, QLatin1Char(' '));
    write(QLatin1Char('\r') + shown);
    m_statusOpen = true;
}

void Console::endStatus()
{
    if (m_statusOpen)
        write(QStringLiteral("\n"));
    m_statusOpen = false;
}

void ConsoleUserInterface::showMessage(const QString& text, const QString&)
{
    m_console.line(text);
}

bool ConsoleUserInterface::askYesNo(const QString& text, const QString&)
{
    m_console.line(text + QStringLiteral(" [No]"));
    return false;
}

bool ConsoleUserInterface::askOkCancel(const QString& text, const QString&)
{
    m_console.line(text + QStringLiteral(" [Cancel]"));
    return false;
}

void ConsoleUserInterface::exitProcess(int)
{
    m_console.endStatus();
    std::fflush(nullptr);
    std::_Exit(m_exitStatus);
}

ConsoleProgress::ConsoleProgress(Console& console) : m_console(console)
{
    m_sinceDrawn.start();
}

QString ConsoleProgress::bar(int value, int minimum, int maximum)
{
    constexpr int kCells = 20;
    const qint64 span = std::max<qint64>(1, qint64(maximum) - minimum);
    const qint64 done = std::clamp<qint64>(qint64(value) - minimum, 0, span);
    const int filled = static_cast<int>(done * kCells / span);
    const int percent = static_cast<int>(done * 100 / span);
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
           QString(kCells - filled, QLatin1Char('.')) + QStringLiteral("] ") +
           QStringLiteral("%1% ").arg(percent, 3);
}

// A terminal redrawn a few times a second is live enough; every row would
// cost more than the walk on a fast database.
bool ConsoleProgress::due()
{
    if (m_sinceDrawn.elapsed() < 100)
        return false;
    m_sinceDrawn.restart();
    return true;
}

void ConsoleProgress::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void ConsoleProgress::setValue(int value)
{
    m_value = value;
}

void ConsoleProgress::setCaption(const QString& caption)
{
    if (!m_console.live())
        m_console.line(caption);
    else if (m_value == m_maximum || due())
        m_console.status(bar(m_value, m_minimum, m_maximum) + caption);
}

QString ConsoleProgress::selectionText() const
{
    return m_title + QLatin1Char(' ') + m_count + QLatin1Char(' ') + m_of + m_total;
}

void ConsoleProgress::repaint()
{
    if (m_shown && due())
        m_console.status(selectionText());
}

void ConsoleProgress::hide()
{
    if (!m_shown)
        return;
    m_shown = false;
    // The last count stays on screen, or is the one line a log of stderr gets.
    if (m_console.live()) {
        m_console.status(selectionText());
        m_console.endStatus();
    } else {
        m_console.line(selectionText());
    }
}

} // namespace tarnwick
