#pragma once

#include <cstdio>

namespace tarnwick {

// The terminal (a console window on Windows) a standard stream writes to.
namespace Terminal {

bool isTerminal(std::FILE* stream);
// Its width in columns; 80 when it cannot be read.
int columns(std::FILE* stream);

} // namespace Terminal

} // namespace tarnwick
