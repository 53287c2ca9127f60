#include "core/StdoutLine.h"

#include <cstdio>

void printStdoutLine(const QString& line)
{
    // One write per line, flushed at once, so lines from two threads never
    // mix and a watcher sees them as they happen.
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
