#include "eventsource/Utf8LineParser.h"

QList<QByteArray> Utf8LineParser::append(QByteArrayView chunk)
{
    QList<QByteArray> lines;
    append(chunk, [&lines](QByteArrayView line) { lines.append(line.toByteArray()); });
    return lines;
}

void Utf8LineParser::reset()
{
    m_seenCr = false;
    m_currentString.clear();
    m_remainder.clear();
    m_overflowed = false;
}

bool Utf8LineParser::overflow()
{
    m_overflowed = true;
    m_currentString = QByteArray();
    m_remainder.clear();
    m_seenCr = false;
    return false;
}
