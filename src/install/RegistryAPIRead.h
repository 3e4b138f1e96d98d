#pragma once

// The registry reading rule in plain C++ (no Qt), so that the same code runs
// over the .reg backend here and over advapi32 under Windows or Wine.

#include "platform/RegistryPrimitives.h"

#include <cstdint>
#include <string>

namespace tarnwick {

struct RegistryRead
{
    enum class Kind { Default, Text, Number, Bytes };
    Kind kind = Kind::Default; // Default: the caller's default stands
    std::string bytes;         // Text: code-page text; Bytes: the data
    std::int32_t number = 0;   // Number
};

// One named value under a key of the 32-bit view, as text (type 1), bytes (3)
// or a 32-bit number (4); Default for anything that cannot be read. Paths and
// names are in the system's 8-bit code page.
RegistryRead readRegistryValue(RegistryBackend& registry, std::uint32_t hive, const std::string& keyPath,
                               const std::string& valueName, std::int16_t valueType);

} // namespace tarnwick
