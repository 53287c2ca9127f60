#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>
#include <stdexcept>

// The plain request/response calls to the OpenAI API (model list and
// embeddings), the credentials they carry, and the fixed model table. The two
// calls block: run them on a worker thread (QtConcurrent, a thread pool), never
// on the UI thread.

// One entry of the model pickers. contextLength is the budget of the history
// selection, in estimated tokens.
struct SupportedModel {
    QString id;
    QString name;
    int contextLength = 0;
};

// The four offered models, in picker order. Not narrowed by the account.
const QList<SupportedModel>& supportedModels();
// The budget for a model id; ids outside the table get 4096.
int contextLengthForModel(const QString& modelId);

struct OpenAiCredentials {
    QString apiKey;
    std::optional<QString> orgKey; // as stored; absent when never written
};

// Read afresh from the settings store on every call (safe from any thread).
// No value when no API key is stored, the stored key is empty, or either key
// cannot be sent as a header value.
std::optional<OpenAiCredentials> readCredentials();

// False for text holding control characters (a pasted line break, say): sent
// in a header it would end the header and smuggle in whatever follows.
bool isSendableCredential(const QString& text);

// "Authorization: Bearer <key>", plus "OpenAI-Organization" only when the
// organisation key is present and not empty.
QList<QPair<QByteArray, QByteArray>> authorizationHeaders(const QString& apiKey, const std::optional<QString>& orgKey);

enum class OpenAiError { ApiError };

// The service answered with a status other than 200; no detail is passed on.
class OpenAiApiError : public std::runtime_error {
public:
    OpenAiApiError() : std::runtime_error("ApiError") {}
    OpenAiError error() const { return OpenAiError::ApiError; }
};

// Body of GET /v1/models. Only the ids are read.
struct OpenAiModelsResponse {
    struct Model {
        QString id;
    };
    QList<Model> data;

    static OpenAiModelsResponse decode(const QByteArray& utf8); // throws DecodingError
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

// Whether the key (with the organisation key when not empty) is accepted and
// the account lists exactly `model`. Any answer other than a 200 with a
// well-formed list is false, and so is a key that cannot be sent (nothing is
// sent then). Throws TransportError when there is no answer.
bool validateCredentials(const QString& apiKey, const QString& orgKey, const QString& model);

// The embedding of `input`, with the stored credentials. Throws TransportError,
// DecodingError (200 with a body of another shape) or OpenAiApiError (any other
// status, or no API key stored: nothing is sent then).
OpenAiEmbeddingCreationResponse createEmbedding(const QString& input);
