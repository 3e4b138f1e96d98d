#include "install/RegistryAPI.h"

#include "app/Failure.h"
#include "app/StepRunner.h"

#include <cstring>

namespace tarnwick {

namespace {
constexpr std::uint32_t kStringBuffer = 1024;
constexpr std::uint32_t kBinaryBuffer = 4096;
} // namespace

RegistryValue ReadRegistryValue(RegistryBackend& registry, std::uint32_t hive, const QString& keyPath,
                                const QString& valueName, std::int16_t valueType,
                                const RegistryValue& defaultValue)
{
    RegistryValue result = defaultValue;
    RegistryKeyHandle key = 0;
    if (registry.openKey(hive, keyPath, 0, kKeyRead, key) != RegStatus::Success)
        return result;  // nothing was opened, so nothing is closed

    StepRunner steps;  // every failure ends in the default, without a word
    steps.run([&] {
        std::uint32_t type = 0;
        QByteArray buffer;
        switch (valueType) {
        case 1: {
            std::uint32_t size = kStringBuffer;
            buffer.fill(' ', kStringBuffer);
            if (registry.queryValue(key, valueName, type, buffer, size) == RegStatus::Success) {
                // The byte count includes the terminating zero; data stored
                // without one loses its last character, as it always did.
                const qsizetype length = qMax<qsizetype>(0, qsizetype(size) - 1);
                result = QString::fromLocal8Bit(buffer.constData(), length);
            }
            break;
        }
        case 3: {
            std::uint32_t size = kBinaryBuffer;
            buffer.fill('\0', kBinaryBuffer);
            if (registry.queryValue(key, valueName, type, buffer, size) == RegStatus::Success)
                result = buffer.left(size);
            break;
        }
        case 4: {
            std::uint32_t size = 4;
            buffer.fill('\0', 4);
            if (registry.queryValue(key, valueName, type, buffer, size) == RegStatus::Success) {
                std::uint32_t raw = 0;
                std::memcpy(&raw, buffer.constData(), sizeof raw);  // little-endian, as stored
                result = static_cast<std::int32_t>(raw);
            }
            break;
        }
        default:
            throw Failure(ErrorNumber::UnsupportedRegistryType, QStringLiteral("Unsupported value type"));
        }
    });
    registry.closeKey(key);
    return result;
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
