#pragma once

#include "core/Result.h"
#include "vorbel-cli/CliEnvironment.h"
#include "vorbel-cli/CommandArguments.h"

#include <QString>

namespace AssistantCommands {

// The assistant editor's rules in their order: the first failing rule's
// message as the Error, or success when the assistant may be created.
// Case-sensitive; text made of spaces is not empty.
Result<void> validate(const QString& name, const QString& personality, const QString& pictureUrl);

// "ID<TAB>name" for every assistant the app lists, in the app's order.
int list(CliEnvironment& environment);

// assistants add --name N --personality P --picture URL: prints the new id.
int add(CliEnvironment& environment, const CommandArguments& arguments);

} // namespace AssistantCommands
