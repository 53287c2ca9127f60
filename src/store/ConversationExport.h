#pragma once

#include "store/Records.h"

#include <QByteArray>
#include <QString>

// The two forms a conversation leaves Vorbel in, the same for the window's
// export and for `vorbel-cli show`.
namespace ConversationExport {

// The conversation as Markdown: a heading per message, function calls and
// their results as fenced blocks.
QString markdown(const Conversation& conversation);
// The messages in order as one JSON array with every stored field; absent
// fields are null.
QByteArray messagesJson(const Conversation& conversation);

// ISO 8601 in UTC with milliseconds, e.g. "2026-12-06T06:39:40.123Z"; empty when absent.
QString isoTime(const std::optional<QDateTime>& time);

// A fenced code block holding the text as it is: the fence is longer than any
// run of backquotes inside, so the text cannot close it early.
QString fencedBlock(const QString& text, const QString& infoString = QString());

} // namespace ConversationExport
