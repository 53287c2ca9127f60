#pragma once

#include "support/HttpTestServer.h"

// The tool servers of the pictures, in the screenshot run's own mcp.json:
// "notes", a server on a local address with three tools, and "github", a
// command that fails at start and says why on standard error.
class ScreenshotToolServers {
public:
    ScreenshotToolServers();
    // Waits until the first is connected and the second has failed.
    bool ready();

private:
    HttpTestServer m_server;
};
