#pragma once

#include "vorbel-cli/CliEnvironment.h"

#include <QString>
#include <QStringList>

// Runs one vorbel-cli command line (the arguments after the program name) and
// returns the exit code.
int runVorbelCli(const QStringList& arguments, CliEnvironment& environment);

QString vorbelCliUsage();
