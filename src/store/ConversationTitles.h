#pragma once

#include "store/StoreContext.h"

#include <QString>

#include <optional>

// Titles are made from the user's own words, on this machine: no request goes
// to the model for them.
namespace ConversationTitles {

constexpr qsizetype maxLength = 60;

// The prompt's first non-empty line, trimmed; a longer one is cut at a word
// boundary within maxLength characters and ends in "…". Nothing for a prompt
// of blank lines.
std::optional<QString> fromPrompt(const QString& prompt);

// The title the conversation's first prompt gives it.
std::optional<QString> automaticTitle(const Conversation& conversation);

// Stores the given title (line breaks become spaces); an empty one brings
// back the automatic title. Saves.
void rename(StoreContext& context, const ConversationPtr& conversation, const QString& title);

} // namespace ConversationTitles
