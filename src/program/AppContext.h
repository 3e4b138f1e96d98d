#pragma once

#include "install/OrvaneVersion.h"
#include "log/Logging.h"
#include "platform/Clock.h"
#include "platform/ProgramInfo.h"
#include "program/SharedServices.h"
#include "update/HomePage.h"

#include <QString>

namespace tarnwick {

class Shell;
class UserInterface;
class RegistryBackend;

// The program-wide state and services: what the old program kept in its
// shared modules. The wizard and the headless command each build one at
// start-up; tests build one over a recorder and a temporary folder.
struct AppContext
{
    AppContext(UserInterface& ui_, Shell& shell_, RegistryBackend& registry_, ProgramInfo program_, const Clock& clock_)
        : ui(ui_), shell(shell_), registry(registry_), program(std::move(program_)), clock(clock_),
          log(ui_, program, clock_), services(ui_, shell_, log, program)
    {
    }
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    UserInterface& ui;
    Shell& shell;
    RegistryBackend& registry;
    const ProgramInfo program;
    const Clock& clock;
    Logging log;
    SharedServices services;

    // Set once at start-up, after both gates have passed.
    QString strConnectionString;
    VersionInfo InstalledVersion;
    // The page the update check reads; tests point it at a local server.
    HomePage homePage = HomePage::fromBuild();
    // Read the product database one row per query, as the walks are written,
    // instead of in sets: the reference the set reading is held to.
    bool perRowQueries = false;
    // Owners the export reads together: few enough to keep a chunk's rows
    // small, enough that a database which scans a whole table for a chunk
    // does so a few times only. Tests lower it to cross chunks on small data.
    qsizetype ownersPerChunk = 1000;
    // ... and no more once their ids reach this many characters: ids of any
    // length keep a chunk's statements and rows small.
    qsizetype idCharactersPerChunk = 256 * 1024;
};

} // namespace tarnwick
