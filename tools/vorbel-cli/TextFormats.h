#pragma once

#include <QString>
#include <QStringList>

namespace TextFormats {

// One field of a tab-separated line: a tab, line break or backslash inside a
// value (a name typed with a line break) would break the line apart, so those
// are written as \t, \n, \r and \\.
QString tsvField(const QString& value);
QString tsvLine(const QStringList& fields);

} // namespace TextFormats
