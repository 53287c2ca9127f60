#pragma once

#include "vorbel-cli/CliEnvironment.h"

#include <QStringList>

// `vorbel-cli mcp ...`: the tool servers of mcp.json, the same file the app's
// Extensions tab edits.
namespace McpCommands {

// The arguments after "mcp".
int run(CliEnvironment& environment, const QStringList& arguments);

// Starts the enabled servers and waits until each is connected or failed, so
// a chat offers their tools from its first request.
void startEnabledServers();

} // namespace McpCommands
