#pragma once

#include "support/RecordingUserInterface.h"

#include <QString>

#include <functional>

namespace tarnwick::test {

struct ProgramEnd
{
    int status = -1; // the exit status; -1 when the action returned without ending the program
    QString probe;   // what the probe said as the program ended
    bool operator==(const ProgramEnd&) const = default;
};

// Runs `action` in a child process in which the program's end (exitProcess) ends that process, as it does in the
// wizard. An end reached from a click or a menu trigger must not throw through Qt's signal delivery, which does not
// support it and then skips its own clean-up. What the child showed is added to `ui`; `probe` runs in the child as
// the program ends, to tell the state it ends in.
ProgramEnd runToProgramEnd(RecordingUserInterface& ui, const std::function<void()>& action,
                           const std::function<QString()>& probe = {});

} // namespace tarnwick::test
