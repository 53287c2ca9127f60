#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "core/Result.h"

#include <optional>

// One model that a server lists under GET /v1/models, with the context length
// it reports, when it reports one.
struct ServerModel {
    QString id;
    std::optional<int> contextLength;
    bool operator==(const ServerModel&) const = default;
};

// The list is the server's to write and ends up in pickers and settings, so
// it is bounded: this many entries at most, ids no longer than this.
inline constexpr int maxServerModels = 2000;
inline constexpr int maxServerModelIdLength = 256; // code points
// The most of a models answer that is read at all.
inline constexpr qint64 maxServerModelsBodyBytes = 8 * 1024 * 1024;

// The "data" list of a models answer; every entry needs an "id" (an Error
// otherwise). Servers report the context under different names:
// "max_model_len", "context_length", "context_window" or "meta.n_ctx_train".
// Entries whose id fails isPresentableModelId are dropped; after
// maxServerModels kept entries the rest is not read.
Result<QList<ServerModel>> decodeServerModels(const QByteArray& utf8);

// False for an id longer than maxServerModelIdLength, or one holding
// control characters (C0, DEL, C1) or bidirectional controls, which could
// disguise one model as another where the id is shown.
bool isPresentableModelId(const QString& id);

// False for the ids OpenAI lists that are not chat models: embeddings, audio,
// images, moderation, transcription, speech, realtime and the old completion
// models.
bool isChatModelId(const QString& id);
