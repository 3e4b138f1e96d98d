#pragma once

#include <QString>

namespace tarnwick {

// A value for a query text, between single quotes, with every single quote
// inside it doubled: an id or alias holding a quote can neither break the
// query nor change what it asks.
inline QString sqlQuoted(const QString& value)
{
    QString inner = value;
    inner.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

} // namespace tarnwick
