#include "select/NumberText.h"

#include <QLocale>

#include <cmath>

namespace tarnwick {

bool isNumericText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    bool ok = false;
    double value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    // "inf" and "nan" parse, but no one types them as an extension.
    return ok && std::isfinite(value);
}

double leadingNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
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
        return 0.0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        // Only a complete exponent belongs to the number: "12e" is 12.
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
    return number.toDouble(); // always the C notation, whatever the process locale
}

} // namespace tarnwick
