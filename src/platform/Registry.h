#pragma once

#include "platform/RegistryPrimitives.h"

#include <QString>

#include <memory>

namespace tarnwick {

// The backend of this platform. Elsewhere than Windows: the .reg file named by
// the environment variable TARNWICK_REGISTRY, else "registry.reg" in
// `programFolder`, else /etc/tarnwick/registry.reg; no file gives an empty
// registry.
std::unique_ptr<RegistryBackend> createPlatformRegistry(const QString& programFolder);

} // namespace tarnwick
