#pragma once

#include <QString>

// The few plain lines the program prints on standard output for whoever runs
// it from a terminal. Diagnostics go to a logging category instead.
void printStdoutLine(const QString& line);
