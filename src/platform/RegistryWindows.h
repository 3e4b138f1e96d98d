#pragma once

#include "platform/RegistryPrimitives.h"

#include <memory>

namespace tarnwick {

// The Win32 registry through advapi32's ANSI entry points (Windows only; no Qt).
std::unique_ptr<RegistryBackend> createWindowsRegistry();

} // namespace tarnwick
