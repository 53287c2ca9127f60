#pragma once

#include <QProcessEnvironment>

#include <functional>

class QObject;

// The environment of the user's login shell ($SHELL -l -c 'env -0'), read once
// per run on a worker thread, so a server started from a desktop launcher
// finds what a terminal finds (npx, uvx, ~/.local/bin). When the shell fails
// or takes too long, the app's own environment stands in.
namespace LoginEnvironment {

// Calls `ready` on the thread of `context` once the environment is known (at
// once, later in the event loop, when it already is). Nothing runs when the
// context is gone by then. Call on the thread `context` lives on.
void whenReady(QObject* context, std::function<void(const QProcessEnvironment&)> ready);

// Forgets the environment read, so the next request reads it again.
void forgetForTesting();

} // namespace LoginEnvironment
