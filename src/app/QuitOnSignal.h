#pragma once

#include <functional>

// Lets SIGINT and SIGTERM (Ctrl+C in a terminal, a session that logs out) end
// the event loop normally, so windows close and the process exits cleanly
// instead of being cut off. `quit` runs on the UI thread when a signal
// arrives. Call once, after the application object exists.
void quitOnTerminationSignals(std::function<void()> quit);
