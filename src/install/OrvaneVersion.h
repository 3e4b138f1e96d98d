#pragma once

#include <QString>

#include <cstdint>

namespace tarnwick {

class RegistryBackend;
class UserInterface;

struct VersionInfo
{
    std::int16_t Major = 0;
    std::int16_t Minor = 0;
    std::int16_t Build = 0;
    std::int16_t Revision = 0;
    QString VersionString;
};

// The installed product's version from "Version Number" and "Build Number"
// under HKLM "Software\Kestrane\".
VersionInfo getVersion(RegistryBackend& registry, UserInterface& ui);

// Installed >= required, field by field in the order Major, Minor, Build, Revision.
bool bIsVersionGreaterThanOrEqualTo(const VersionInfo& installed, std::int16_t Major, std::int16_t Minor,
                                    std::int16_t Build, std::int16_t Revision);

} // namespace tarnwick
