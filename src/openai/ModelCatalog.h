#pragma once

#include "openai/ServerModels.h"

#include <QList>
#include <QString>

// Which models the pickers offer and how much history each one takes.

// One entry of the built-in table. contextLength is the budget of the history
// selection, in estimated tokens.
struct SupportedModel {
    QString id;
    QString name;
    int contextLength = 0;
};

// The four built-in models, in picker order. Not narrowed by the account.
const QList<SupportedModel>& supportedModels();
bool isSupportedModel(const QString& modelId);

// The budget for a model id: the built-in table's entry for its four; else the
// length the server reports; else the current OpenAI families by the longest
// id prefix; else 4096.
int contextLengthForModel(const QString& modelId, const QList<ServerModel>& serverModels = {});

// One entry of a model picker.
struct ModelOption {
    QString id;
    QString name;
    int contextLength = 0;
    bool builtIn = false;
};

// The four built-in entries, then the server's other models sorted by id; for
// OpenAI's own server only its chat models.
QList<ModelOption> offeredModels(const QList<ServerModel>& serverModels, bool openAiServer);

// The four built-in models on OpenAI's own server keep the "functions" form of
// function calling; every other model and server gets "tools".
bool usesToolCalls(const QString& modelId, bool openAiServer);
