#pragma once

#include "tarnwick_version.h"

#include <QString>

#include <chrono>

namespace tarnwick {

// The tool's page on its home site: read for the published version and
// opened in the browser when a newer one is there. Plain data, so the
// program context can carry it without linking the network.
struct HomePage
{
    QString url;
    QString site; // the host name the messages point the administrator to
    // How long a server that accepts the connection and says nothing is waited for.
    std::chrono::milliseconds timeout{std::chrono::seconds(10)};

    // The address the build was configured with.
    static HomePage fromBuild() { return {QStringLiteral(TARNWICK_HOME_PAGE_URL), QStringLiteral(TARNWICK_HOME_SITE)}; }
};

} // namespace tarnwick
