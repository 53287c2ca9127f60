#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "core/Endpoints.h"
#include "openai/ModelCatalog.h"
#include "openai/ServerModels.h"

#include <optional>
#include <stdexcept>

// The plain request/response calls to the OpenAI API (model list and
// embeddings), the credentials they carry, and the fixed model table. The two
// calls block: run them on a worker thread (QtConcurrent, a thread pool), never
// on the UI thread.


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

enum class OpenAiError { ApiError };

// The service answered with a status other than 200; no detail is passed on.
class OpenAiApiError : public std::runtime_error {
public:
    OpenAiApiError() : std::runtime_error("ApiError") {}
    OpenAiError error() const { return OpenAiError::ApiError; }
};

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

    static OpenAiEmbeddingCreationResponse decode(const QByteArray& utf8); // throws DecodingError
};

// What GET /v1/models answered: `Listed` with the models, `Refused` for any
// status other than 200 (a rejected key), `Unreadable` for a 200 whose body is
// not a model list. Throws TransportError when there is no answer. Sends
// nothing and answers Refused for a key that cannot be sent.
struct ModelListAnswer {
    enum class Outcome { Listed, Refused, Unreadable };
    Outcome outcome = Outcome::Refused;
    QList<ServerModel> models;
};
ModelListAnswer fetchModelList(const Endpoints::OpenAiServer& server, const QString& apiKey, const QString& orgKey,
                               int timeoutMs = 60000);

// A credential check that tells a rejected key from a key whose account does
// not list the chosen model, and both from a server that did not answer.
// `models` is the list when the key was accepted.
struct CredentialCheckResult {
    enum class Outcome { Accepted, ModelUnavailable, Rejected, Unreachable };
    Outcome outcome = Outcome::Rejected;
    QList<ServerModel> models;
};
CredentialCheckResult checkCredentials(const Endpoints::OpenAiServer& server, const QString& apiKey,
                                       const QString& orgKey, const QString& model);

// Whether the key (with the organisation key when not empty) is accepted and
// the account lists exactly `model`. Any answer other than a 200 with a
// well-formed list is false, and so is a key that cannot be sent (nothing is
// sent then). Throws TransportError when there is no answer.
bool validateCredentials(const QString& apiKey, const QString& orgKey, const QString& model);

// The embedding of `input`, with the stored credentials. Throws TransportError,
// DecodingError (200 with a body of another shape) or OpenAiApiError (any other
// status, or no API key stored: nothing is sent then).
OpenAiEmbeddingCreationResponse createEmbedding(const QString& input);
