#include "install/RegistryAPIRead.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarnwick {

namespace {
constexpr std::uint32_t kStringBuffer = 1024;
constexpr std::uint32_t kBinaryBuffer = 4096;
} // namespace

RegistryRead readRegistryValue(RegistryBackend& registry, std::uint32_t hive, const std::string& keyPath,
                               const std::string& valueName, std::int16_t valueType)
{
    RegistryRead result;
    RegistryKeyHandle key = 0;
    // Always the 32-bit view: the product's installer is 32-bit, so on 64-bit
    // Windows its keys live there, whatever this program was built as.
    if (registry.openKey(hive, keyPath, 0, kKeyRead | kKeyWow64_32Key, key) != RegStatus::Success)
        return result; // nothing was opened, so nothing is closed

    std::uint32_t type = 0;
    switch (valueType) {
    case 1: {
        std::vector<unsigned char> buffer(kStringBuffer, ' ');
        std::uint32_t size = kStringBuffer;
        if (registry.queryValue(key, valueName, type, buffer.data(), size) == RegStatus::Success) {
            // The byte count includes the terminating zero; data stored
            // without one loses its last character, as it always did.
            const std::uint32_t length = size > 0 ? std::min(size, kStringBuffer) - 1u : 0u;
            result.kind = RegistryRead::Kind::Text;
            result.bytes.assign(reinterpret_cast<const char*>(buffer.data()), length);
        }
        break;
    }
    case 3: {
        std::vector<unsigned char> buffer(kBinaryBuffer, 0);
        std::uint32_t size = kBinaryBuffer;
        if (registry.queryValue(key, valueName, type, buffer.data(), size) == RegStatus::Success) {
            result.kind = RegistryRead::Kind::Bytes;
            result.bytes.assign(reinterpret_cast<const char*>(buffer.data()), std::min(size, kBinaryBuffer));
        }
        break;
    }
    case 4: {
        unsigned char buffer[4] = {};
        std::uint32_t size = 4;
        if (registry.queryValue(key, valueName, type, buffer, size) == RegStatus::Success) {
            std::uint32_t raw = 0;
            std::memcpy(&raw, buffer, sizeof raw); // little-endian, as stored
            result.kind = RegistryRead::Kind::Number;
            result.number = static_cast<std::int32_t>(raw);
        }
        break;
    }
    default:
        // Error 1001 "Unsupported value type": skipped like every failure
        // here, so the key is closed and the default returned.
        break;
    }
    registry.closeKey(key);
    return result;
}

} // namespace tarnwick
