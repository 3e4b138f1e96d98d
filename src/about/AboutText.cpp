#include "about/AboutText.h"

#include "platform/ProgramInfo.h"

namespace tarnwick {

QString aboutVersionText(const ProgramInfo& program)
{
    return QStringLiteral(" %1.%2 Build %3")
        .arg(program.major)
        .arg(program.minor)
        .arg(program.revision);
}

} // namespace tarnwick
