#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <variant>

namespace tarnwick {

// A value read from the registry, or the caller's default (monostate: empty).
using RegistryValue = std::variant<std::monostate, QString, std::int32_t, QByteArray>;

// One named value under a key, as text (type 1), bytes (3) or a 32-bit number
// (4); the default for anything that cannot be read. Never reports.
RegistryValue ReadRegistryValue(RegistryBackend& registry, std::uint32_t hive, const QString& keyPath,
                                const QString& valueName, std::int16_t valueType,
                                const RegistryValue& defaultValue = {});

// The value as text (the empty default gives the empty text).
QString registryValueToText(const RegistryValue& value);
// The value as a 32-bit number (the empty default gives 0).
std::int32_t registryValueToInt(const RegistryValue& value);

} // namespace tarnwick
