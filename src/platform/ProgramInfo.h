#pragma once

#include <QString>

namespace tarnwick {

// The running program as the platform reports it: its folder, its file name
// and its version. Tests point the folder at a temporary one.
struct ProgramInfo
{
    QString folder;    // without a trailing separator
    QString baseName;  // file name without extension, e.g. "tarnwick"
    int major = 0;
    int minor = 0;
    int revision = 0;
    // The wizard's per-user data folder (AppLocalDataLocation): where the
    // logs go when the folder beside the program cannot take them. The
    // command uses the same one, so both keep their logs together.
    QString userDataFolder = {};

    // The running program, with the version the build was made with.
    static ProgramInfo current();
    // The same version and name, living in another folder.
    static ProgramInfo inFolder(const QString& folder, const QString& baseName = QStringLiteral("tarnwick"));

    // folder + separator + name, with the platform's separator.
    QString pathBeside(const QString& name) const;
    // "1.0.1"
    QString versionText() const;
};

} // namespace tarnwick
