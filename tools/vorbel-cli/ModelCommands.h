#pragma once

#include "vorbel-cli/CliEnvironment.h"

namespace ModelCommands {

// "id<TAB>name<TAB>context length<TAB>built-in|server" for every model the
// pickers offer, in their order, read with the stored keys from the server in
// use. When the server's list cannot be read the built-in models are still
// listed and one line on standard error says why: exit 1, or 2 when no API
// key is stored.
int list(CliEnvironment& environment);

// Reads the account's model list once, as the app does at start, so that a
// turn budgets its history with the lengths the server reports. Waits at most
// `timeoutMs`; false when no answer came in time (the built-in lengths apply).
bool refreshAccountModels(int timeoutMs);

} // namespace ModelCommands
