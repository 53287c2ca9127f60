#pragma once

#include "store/Records.h"
#include "vorbel-cli/CliEnvironment.h"
#include "vorbel-cli/CommandArguments.h"

#include <QString>

namespace ConversationCommands {

// "ID<TAB>title<TAB>assistant name<TAB>updatedAt" for every conversation, newest first.
int list(CliEnvironment& environment);

// show [--json] ID: the export formats of the window.
int show(CliEnvironment& environment, const CommandArguments& arguments);

// rename ID TITLE: an empty title brings back the automatic one.
int rename(CliEnvironment& environment, const CommandArguments& arguments);

// search [--json] TEXT: "ID<TAB>title<TAB>snippet" per matching conversation, newest first.
int search(CliEnvironment& environment, const CommandArguments& arguments);

// The conversation with this id (with or without braces), or nothing.
ConversationPtr findConversation(StoreContext& store, const QString& idText);

} // namespace ConversationCommands
