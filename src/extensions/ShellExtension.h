#pragma once

#include "extensions/CustomExtension.h"

#include <optional>

// The "cliExecution" extension: runs the model's command line through the
// user's shell and returns the combined standard output and error.
CustomExtension makeShellExtension();

// The most output a command hands back; the rest is read, dropped and counted
// in a closing line.
inline constexpr qsizetype shellOutputLimit = 1024 * 1024;

// A function's output as the model gets it: at most shellOutputLimit bytes of
// `bytes` (plus `leftOut` already dropped), cut at a whole character, with a
// closing line counting the bytes left out.
QString limitedOutputText(QByteArray bytes, qint64 leftOut = 0);

// The exact line handed to the shell: the decoded command (line feeds of the
// arguments deleted) put into the stored template. Nothing when the arguments
// hold no command.
std::optional<QString> shellCommandLine(const std::optional<QString>& arguments);

// Both run on the calling (worker) thread and block until the output pipe closes.
QString runShellCommandLine(const QString& commandLine);
QString executeShellCommand(const std::optional<QString>& arguments);
