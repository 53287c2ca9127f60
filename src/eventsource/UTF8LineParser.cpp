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
    m_overflowed = false;
}

bool UTF8LineParser::overflow()
{
    m_overflowed = true;
    m_currentString = QByteArray();
    m_remainder.clear();
    m_seenCr = false;
    return false;
}
