#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "core/Endpoints.h"
#include "core/Result.h"
#include "openai/ModelCatalog.h"
#include "openai/ServerModels.h"

#include <optional>

// The plain request/response calls to the OpenAI API (model list and
// embeddings), the credentials they carry, and the fixed model table. The
// calls block: run them on a pool (core/PoolTask.h), never on the UI thread.

struct OpenAiCredentials {
    QString apiKey;
    std::optional<QString> orgKey; // as stored; absent when never written
};

// Read afresh from the settings store on every call (safe from any thread).
// No value when either key cannot be sent as a header value, or when no API
// key is stored and `server` is OpenAI's (which refuses every request without
// one); another server may need no key.
std::optional<OpenAiCredentials> readCredentials(const Endpoints::OpenAiServer& server);

// False for text holding control characters (a pasted line break, say): sent
// in a header it would end the header and smuggle in whatever follows.
bool isSendableCredential(const QString& text);

// "Authorization: Bearer <key>" (none at all for an empty key), plus
// "OpenAI-Organization" only when the organisation key is present and not empty.
QList<QPair<QByteArray, QByteArray>> authorizationHeaders(const QString& apiKey, const std::optional<QString>& orgKey);

// Body of POST /v1/embeddings.
struct OpenAiEmbeddingRequest {
    static inline const QString embeddingModel = QStringLiteral("text-embedding-ada-002");
    QString input;
    QString model = embeddingModel;

    QByteArray encode() const;
};

struct Embedding {
    QList<float> embedding;
    int index = 0;
    QString object;
};

struct OpenAiEmbeddingCreationResponse {
    QList<Embedding> data;

    static Result<OpenAiEmbeddingCreationResponse> decode(const QByteArray& utf8);
};

// What GET /v1/models answered: `Listed` with the models, `Refused` for any
// status other than 200 (a rejected key), `Unreadable` for a 200 whose body is
// not a model list. An Error (the network layer's description) when there is
// no answer. Sends nothing and answers Refused for a key that cannot be sent.
struct ModelListAnswer {
    enum class Outcome { Listed, Refused, Unreadable };
    Outcome outcome = Outcome::Refused;
    QList<ServerModel> models;
};
Result<ModelListAnswer> fetchModelList(const Endpoints::OpenAiServer& server, const QString& apiKey,
                                       const QString& orgKey, int timeoutMs = 60000);

// A credential check that tells a rejected key from a key whose account does
// not list the chosen model, and both from a server that did not answer.
// `models` is the list when the key was accepted. Any answer other than a 200
// with a well-formed list is Rejected, and so is a key that cannot be sent
// (nothing is sent then).
struct CredentialCheckResult {
    enum class Outcome { Accepted, ModelUnavailable, Rejected, Unreachable };
    Outcome outcome = Outcome::Rejected;
    QList<ServerModel> models;
};
CredentialCheckResult checkCredentials(const Endpoints::OpenAiServer& server, const QString& apiKey,
                                       const QString& orgKey, const QString& model);

// The embedding of `input`, with the stored credentials. An Error when there
// is no answer, for a status other than 200 (no detail of the answer is passed
// on), for a 200 with a body of another shape, or when no sendable API key is
// stored (nothing is sent then).
Result<OpenAiEmbeddingCreationResponse> createEmbedding(const QString& input);
