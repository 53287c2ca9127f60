#include "eventsource/UTF8LineParser.h"

QList<QByteArray> UTF8LineParser::append(QByteArrayView chunk)
{
    QList<QByteArray> lines;
    append(chunk, [&lines](QByteArrayView line) { lines.append(line.toByteArray()); });
    return lines;
}

void UTF8LineParser::reset()
{
    m_seenCr = false;
    m_currentString.clear();
    m_remainder.clear();
}
