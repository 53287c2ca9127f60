#pragma once

#include "openai/ApiFunction.h"
#include "store/Records.h"

#include <QList>
#include <QString>

#include <vector>

// Which part of a conversation fits the model's context. No tokenizer: three
// user-perceived characters count as one token.

// Extended grapheme clusters, so an accented letter written with a combining
// mark, or an emoji sequence, counts once.
qsizetype graphemeCount(const QString& text);

// The estimate before any message: the system prompt and, for every offered
// function, its description followed directly by its name.
double initialSizeEstimate(const QString& systemPrompt, const QList<ApiFunction>& functions);

// Whether a message goes into a request at all: "app" notices and assistant
// replies that never received anything do not.
bool isSentInHistory(const Message& message);

// The newest messages that keep the estimate below `contextLength`, oldest
// first. "app" notices and assistant replies that never received anything are
// neither sent nor counted. The estimate is truncated to a whole number after
// each message and never shrinks, so once one message is left out every older
// one is too. Reads the records: UI thread only.
std::vector<MessagePtr> selectHistory(const std::vector<MessagePtr>& messages, double initialEstimate,
                                      int contextLength);
