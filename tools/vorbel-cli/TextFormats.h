#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace TextFormats {

// One field of a tab-separated line: a tab, line break or backslash inside a
// value (a name typed with a line break) would break the line apart, so those
// are written as \t, \n, \r and \\.
QString tsvField(const QString& value);
QString tsvLine(const QStringList& fields);

// ISO 8601 in UTC with milliseconds, e.g. "2026-12-06T06:39:40.123Z"; empty when absent.
QString isoTime(const std::optional<QDateTime>& time);

// A fenced code block holding the text as it is: the fence is longer than any
// run of backquotes inside, so the text cannot close it early.
QString fencedBlock(const QString& text, const QString& infoString = QString());

} // namespace TextFormats
