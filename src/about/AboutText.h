#pragma once

#include <QString>

namespace tarnwick {

struct ProgramInfo;

// The About dialog's version text: " 1.0 Build 1" for version 1.0.1.
QString aboutVersionText(const ProgramInfo& program);

} // namespace tarnwick
