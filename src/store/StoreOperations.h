#pragma once

#include "store/StoreContext.h"

#include <QString>

#include <optional>
#include <vector>

// The store operations that every writer uses. All run on the UI thread.

// Saves; on failure prints "Error: <description>, <details>" and keeps the
// changes for the next save. Returns whether the save went through.
bool saveChanges(StoreContext& context);

// Inserts a message (not saved: the caller saves).
MessagePtr makeMessage(StoreContext& context, const QString& role, const QString& content,
                       const ConversationPtr& conversation, const std::optional<QString>& functionName, bool done);

ConversationPtr createConversation(StoreContext& context, const AssistantPtr& assistant);

// The picture text becomes a URL only when it parses as one; the intro is kept
// only when it is not empty.
AssistantPtr createAssistant(StoreContext& context, const QString& name, const QString& personality,
                             const QString& pictureText, const QString& intro = QString());

void softDeleteAssistants(StoreContext& context, const std::vector<AssistantPtr>& assistants);

void deleteConversation(StoreContext& context, const ConversationPtr& conversation);

std::vector<AssistantPtr> allAssistants(const StoreContext& context);

// The messages of a conversation in display and history order: by updatedAt
// (a missing one sorts as now, after every stored time), ties in creation order.
std::vector<MessagePtr> orderedMessages(const Conversation& conversation);
bool messageOrderLess(const Message& a, const Message& b);

std::optional<QUrl> urlFromText(const QString& text);
