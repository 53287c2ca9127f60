#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One model that a server lists under GET /v1/models, with the context length
// it reports, when it reports one.
struct ServerModel {
    QString id;
    std::optional<int> contextLength;
    bool operator==(const ServerModel&) const = default;
};

// The "data" list of a models answer; every entry needs an "id" (throws
// DecodingError otherwise). Servers report the context under different names:
// "max_model_len", "context_length", "context_window" or "meta.n_ctx_train".
QList<ServerModel> decodeServerModels(const QByteArray& utf8);

// False for the ids OpenAI lists that are not chat models: embeddings, audio,
// images, moderation, transcription, speech, realtime and the old completion
// models.
bool isChatModelId(const QString& id);
