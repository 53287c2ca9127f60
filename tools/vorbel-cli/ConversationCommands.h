#pragma once

#include "store/Records.h"
#include "vorbel-cli/CliEnvironment.h"
#include "vorbel-cli/CommandArguments.h"

#include <QByteArray>
#include <QString>

namespace ConversationCommands {

// "ID<TAB>assistant name<TAB>updatedAt" for every conversation, newest first.
int list(CliEnvironment& environment);

// show [--json] ID
int show(CliEnvironment& environment, const CommandArguments& arguments);

// The conversation as Markdown: a heading per message, function calls and
// their results as fenced blocks.
QString conversationMarkdown(const Conversation& conversation);
// The messages in order as one JSON array with every stored field; absent
// fields are null.
QByteArray messagesJson(const Conversation& conversation);

// The conversation with this id (with or without braces), or nothing.
ConversationPtr findConversation(StoreContext& store, const QString& idText);

} // namespace ConversationCommands
