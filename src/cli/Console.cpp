#include "cli/Console.h"

#include "select/SubscriberSelection.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tarnwick {

Console::Console(QIODevice& device, bool live, std::function<int()> columns)
    : m_device(device), m_encoder(QStringConverter::System), m_live(live), m_columns(std::move(columns))
{
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
    // One column short of the terminal's width, so the line never wraps and
    // scrolls; padded, so a shorter text leaves nothing of the last one.
    const int width = std::max(1, (m_columns ? m_columns() : 80) - 1);
    const QString shown = text.left(width).leftJustified(width, QLatin1Char(' '));
    write(QLatin1Char('\r') + shown);
    m_statusOpen = true;
}

void Console::endStatus()
{
    if (m_statusOpen)
        write(QStringLiteral("\n"));
    m_statusOpen = false;
}

bool ConsoleUserInterface::reportsFailure(const QString& text)
{
    // The two notices a load gives when all went well: the import's count, and
    // the subscribers no range can hold.
    return !text.startsWith(QLatin1String("Import complete. ")) &&
           !text.startsWith(SubscriberSelection::kWithoutExtensionNotice);
}

void ConsoleUserInterface::showMessage(const QString& text, const QString&)
{
    const bool failure = reportsFailure(text);
    m_failures += failure ? 1 : 0;
    if (failure || !m_quiet)
        m_console.line(text);
}

bool ConsoleUserInterface::askYesNo(const QString& text, const QString&)
{
    if (!m_quiet)
        m_console.line(text + QStringLiteral(" [No]"));
    return false;
}

bool ConsoleUserInterface::askOkCancel(const QString& text, const QString&)
{
    if (!m_quiet)
        m_console.line(text + QStringLiteral(" [Cancel]"));
    return false;
}

void ConsoleUserInterface::exitProcess(int)
{
    m_console.endStatus();
    std::fflush(nullptr);
    std::_Exit(m_exitStatus);
}

ConsoleProgress::ConsoleProgress(Console& console, bool quiet) : m_console(console), m_quiet(quiet)
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
    if (m_quiet)
        return;
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
    if (!m_quiet && m_shown && due())
        m_console.status(selectionText());
}

void ConsoleProgress::hide()
{
    if (!m_shown)
        return;
    m_shown = false;
    if (m_quiet)
        return;
    // The last count stays on screen, or is the one line a log of stderr gets.
    if (m_console.live()) {
        m_console.status(selectionText());
        m_console.endStatus();
    } else {
        m_console.line(selectionText());
    }
}

} // namespace tarnwick
