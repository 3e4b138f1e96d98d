#include "platform/Registry.h"
#include "platform/RegistryWindows.h"

namespace tarnwick {

// On Windows the registry is the real one; no file stands in.
std::unique_ptr<RegistryBackend> createPlatformRegistry(const QString& /*programFolder*/)
{
    return createWindowsRegistry();
}

} // namespace tarnwick
