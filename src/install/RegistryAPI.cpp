#include "install/RegistryAPI.h"

#include "base/Failure.h"
#include "install/RegistryAPIRead.h"

namespace tarnwick {

RegistryValue ReadRegistryValue(RegistryBackend& registry, std::uint32_t hive, const QString& keyPath,
                                const QString& valueName, std::int16_t valueType, const RegistryValue& defaultValue)
{
    // The rule itself is plain C++ (it also runs against Win32 under test);
    // here only the texts cross the code page.
    const RegistryRead read = readRegistryValue(registry, hive, keyPath.toLocal8Bit().toStdString(),
                                                valueName.toLocal8Bit().toStdString(), valueType);
    const auto size = qsizetype(read.bytes.size());
    switch (read.kind) {
    case RegistryRead::Kind::Text:
        return QString::fromLocal8Bit(read.bytes.data(), size);
    case RegistryRead::Kind::Number:
        return read.number;
    case RegistryRead::Kind::Bytes:
        return QByteArray(read.bytes.data(), size);
    case RegistryRead::Kind::Default:
        break;
    }
    return defaultValue;
}

QString registryValueToText(const RegistryValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return QString::number(*number);
    if (const auto* bytes = std::get_if<QByteArray>(&value))
        return QString::fromLocal8Bit(*bytes);
    return QString();
}

std::int32_t registryValueToInt(const RegistryValue& value)
{
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return *number;
    if (const auto* text = std::get_if<QString>(&value)) {
        bool ok = false;
        const int n = text->trimmed().toInt(&ok);
        if (!ok)
            throw Failure(13, QStringLiteral("Type mismatch"));
        return n;
    }
    if (std::holds_alternative<QByteArray>(value))
        throw Failure(13, QStringLiteral("Type mismatch"));
    return 0;
}

} // namespace tarnwick
