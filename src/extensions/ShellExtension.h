#pragma once

#include "extensions/CustomExtension.h"

#include <optional>

// The "cliExecution" extension: runs the model's command line through the
// user's shell and returns the combined standard output and error.
CustomExtension makeShellExtension();

// The most output a command hands back; the rest is read, dropped and counted
// in a closing line.
inline constexpr qsizetype shellOutputLimit = 1024 * 1024;

// The exact line handed to the shell: the decoded command (line feeds of the
// arguments deleted) put into the stored template. Nothing when the arguments
// hold no command.
std::optional<QString> shellCommandLine(const std::optional<QString>& arguments);

// Both run on the calling (worker) thread and block until the output pipe closes.
QString runShellCommandLine(const QString& commandLine);
QString executeShellCommand(const std::optional<QString>& arguments);
