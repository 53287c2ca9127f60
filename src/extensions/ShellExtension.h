#pragma once

#include "extensions/CustomExtension.h"

#include <optional>

// The "cliExecution" extension: runs the model's command line through the
// user's shell and returns the combined standard output and error.
CustomExtension makeShellExtension();

// The most output a command hands back; the rest is read, dropped and counted
// in a closing line.
inline constexpr qsizetype shellOutputLimit = 1024 * 1024;

// Runs on the calling (worker) thread; blocks until the output pipe closes.
QString executeShellCommand(const std::optional<QString>& arguments);
