#pragma once

#include <QString>
#include <QStringList>

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

// Reading in sets: at most this many keys go into one key table (or one chunk
// of CSV lines), under SQLite's limit of 500 terms in a compound SELECT.
inline constexpr qsizetype kKeysPerQuery = 400;
// ... and at most about this many characters of them: ids can be long, and a
// statement holds its text several times over on the way to the server.
inline constexpr qsizetype kKeyCharactersPerQuery = 256 * 1024;

// How many of `keys` from `first` on go into one query: at least one, at most
// `most`, and no more once their length reaches `characters`.
inline qsizetype keysInBatch(const QStringList& keys, qsizetype first, qsizetype most,
                             qsizetype characters = kKeyCharactersPerQuery)
{
    qsizetype n = 0;
    qsizetype length = 0;
    while (first + n < keys.size() && n < qMax<qsizetype>(most, 1) && (n == 0 || length < characters))
        length += keys[first + n++].size();
    return n;
}

// A table of keys for a derived table, in standard SQL every product database
// takes: "SELECT 0 AS KeyNumber, 'a' AS KeyText UNION ALL SELECT 1, 'b' ...".
// Each key's number is its index in `keys`. Joining on KeyText leaves every
// comparison of ids to the database, with its own letter case and blanks.
inline QString sqlKeyTable(const QStringList& keys)
{
    QString sql;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (i == 0)
            sql += QStringLiteral("SELECT 0 AS KeyNumber, ") + sqlQuoted(keys[i]) + QStringLiteral(" AS KeyText");
        else
            sql +=
                QStringLiteral(" UNION ALL SELECT ") + QString::number(i) + QStringLiteral(", ") + sqlQuoted(keys[i]);
    }
    return sql;
}

// "('a', 'b', ...)" for an IN condition; `values` is not empty.
inline QString sqlInList(const QStringList& values)
{
    QString sql = QStringLiteral("(");
    for (qsizetype i = 0; i < values.size(); ++i)
        sql += (i == 0 ? QString() : QStringLiteral(", ")) + sqlQuoted(values[i]);
    return sql + QLatin1Char(')');
}

} // namespace tarnwick
