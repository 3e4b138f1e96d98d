#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace tarnwick::fuzz {

// The fuzzer's input as bytes, without a copy.
inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A broken property: libFuzzer keeps the input that showed it.
[[noreturn]] inline void fail(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "property broken: %s %s\n", what, qPrintable(detail));
    std::abort();
}

inline void require(bool holds, const char* what, const QString& detail = QString())
{
    if (!holds)
        fail(what, detail);
}

} // namespace tarnwick::fuzz
