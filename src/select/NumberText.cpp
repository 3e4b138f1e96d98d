#include "select/NumberText.h"

namespace tarnwick {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

NumberReading readNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    QByteArray number;
    auto digits = [&] {
        qsizetype count = 0;
        while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
            number.append(static_cast<char>(text[i].unicode()));
            ++i;
            ++count;
        }
        return count;
    };
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        number.append(static_cast<char>(text[i++].unicode()));
    qsizetype mantissa = digits();
    if (i < n && text[i] == QLatin1Char('.')) {
        number.append('.');
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return {};
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        // Only a complete exponent belongs to the number: "12e" is 12, and not whole.
        const qsizetype mark = i;
        const qsizetype kept = number.size();
        number.append('e');
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            number.append(static_cast<char>(text[i++].unicode()));
        if (digits() == 0) {
            i = mark;
            number.truncate(kept);
        }
    }
    NumberReading reading;
    bool inRange = false;
    // Always the C notation, whatever the process locale; a number beyond a
    // double's range ("1e999", "1e-400") is worth 0 and is no number.
    reading.value = number.toDouble(&inRange);
    while (i < n && isBlank(text[i]))
        ++i;
    reading.whole = inRange && i == n;
    return reading;
}

bool isNumericText(const QString& text)
{
    return readNumber(text).whole;
}

double leadingNumber(const QString& text)
{
    return readNumber(text).value;
}

} // namespace tarnwick
