#pragma once

#include <QString>

namespace tarnwick {

struct AppContext;

inline const QString kConnectionString = QStringLiteral("Driver={SQL Server};server=;database=OrvaneDb");
inline const QString kDominoProgId = QStringLiteral("KestraneDsDomino.KestraneIDCDomino.1");
inline const QString kVersionGateMessage = QStringLiteral(
    "This version of Tarnwick only runs on Orvane 4.0(3) and later.  Existing application...");
inline const QString kDominoGateMessage = QStringLiteral(
    "This version of Tarnwick only works with Exchange based Orvane installs - Domino is not supported.  "
    "Existing application.");

// The program's start-up, run before any window shows: reads the installed
// version, refuses a product older than 4.0(3.100) or a Domino-based install
// (ending the process through ExitApplication), then fixes the connection string.
void RunStartupGates(AppContext& app);

} // namespace tarnwick
