#include "openai/OpenAiRequests.h"

#include "core/BlockingHttp.h"
#include "core/Endpoints.h"
#include "openai/JsonFields.h"
#include "openai/OpenAiLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>

#include <algorithm>

namespace {

constexpr int requestTimeoutMs = 60000;

QNetworkRequest openAiRequest(const Endpoints::OpenAiServer& server, const QString& path,
                              const QList<QPair<QByteArray, QByteArray>>& headers)
{
    QNetworkRequest request(Endpoints::openAiUrl(server, path));
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    return request;
}

} // namespace

QByteArray OpenAiEmbeddingRequest::encode() const
{
    const QJsonObject object{{QStringLiteral("input"), input}, {QStringLiteral("model"), model}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

Result<OpenAiEmbeddingCreationResponse> OpenAiEmbeddingCreationResponse::decode(const QByteArray& utf8)
{
    using namespace JsonFields;
    Reader read;
    const Path top;
    const QJsonObject root = read.parseObject(utf8);
    const QJsonArray entries = read.requireArray(root, QStringLiteral("data"), top);
    const Path dataPath = top.member(QStringLiteral("data"));
    OpenAiEmbeddingCreationResponse response;
    response.data.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Path path = dataPath.element(i);
        const QJsonObject entry = read.requireObject(entries.at(i), path);
        Embedding embedding;
        const Path vectorPath = path.member(QStringLiteral("embedding"));
        const QJsonArray values = read.requireArray(entry, QStringLiteral("embedding"), path);
        embedding.embedding.reserve(values.size());
        for (qsizetype j = 0; j < values.size(); ++j)
            embedding.embedding.append(read.requireFloat(values.at(j), vectorPath.element(j)));
        embedding.index = read.requireInt(entry, QStringLiteral("index"), path);
        embedding.object = read.requireString(entry, QStringLiteral("object"), path);
        response.data.append(std::move(embedding));
    }
    return read.result(std::move(response));
}

Result<ModelListAnswer> fetchModelList(const Endpoints::OpenAiServer& server, const QString& apiKey,
                                       const QString& orgKey, int timeoutMs)
{
    if (!isSendableCredential(apiKey) || !isSendableCredential(orgKey))
        return ModelListAnswer{};
    QNetworkRequest request = openAiRequest(server, QStringLiteral("/v1/models"), authorizationHeaders(apiKey, orgKey));
    const HttpResponse response =
        performBlockingRequest(request, QByteArrayLiteral("GET"), {}, timeoutMs, maxServerModelsBodyBytes);
    if (!response.transportOk)
        return Error{response.transportError};
    if (response.status != 200)
        return ModelListAnswer{};
    if (response.bodyTooLarge) {
        qCInfo(lcOpenAi) << "Model list not read: the answer is larger than" << maxServerModelsBodyBytes << "bytes";
        return ModelListAnswer{ModelListAnswer::Outcome::Unreadable, {}};
    }
    Result<QList<ServerModel>> models = decodeServerModels(response.body);
    if (!models) {
        qCInfo(lcOpenAi) << "Model list not understood:" << models.errorText();
        return ModelListAnswer{ModelListAnswer::Outcome::Unreadable, {}};
    }
    return ModelListAnswer{ModelListAnswer::Outcome::Listed, std::move(models).value()};
}

CredentialCheckResult checkCredentials(const Endpoints::OpenAiServer& server, const QString& apiKey,
                                       const QString& orgKey, const QString& model)
{
    Result<ModelListAnswer> answer = fetchModelList(server, apiKey, orgKey);
    if (!answer)
        return {CredentialCheckResult::Outcome::Unreachable, {}};
    if (answer->outcome != ModelListAnswer::Outcome::Listed)
        return {};
    const bool listed = std::any_of(answer->models.begin(), answer->models.end(),
                                    [&](const ServerModel& entry) { return entry.id == model; });
    return {listed ? CredentialCheckResult::Outcome::Accepted : CredentialCheckResult::Outcome::ModelUnavailable,
            std::move(answer->models)};
}

Result<OpenAiEmbeddingCreationResponse> createEmbedding(const QString& input)
{
    const Endpoints::OpenAiServer server = Endpoints::openAiServer();
    const std::optional<OpenAiCredentials> credentials = readCredentials(server);
    if (!credentials) {
        // The service would refuse a request without a key; do not send one.
        return Error{QStringLiteral("No sendable API key is stored")};
    }
    QList<QPair<QByteArray, QByteArray>> headers = authorizationHeaders(credentials->apiKey, credentials->orgKey);
    headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
    headers.append({QByteArrayLiteral("Accept"), QByteArrayLiteral("application/json")});

    const QByteArray body = OpenAiEmbeddingRequest{input}.encode();
    const HttpResponse response =
        performBlockingRequest(openAiRequest(server, QStringLiteral("/v1/embeddings"), headers),
                               QByteArrayLiteral("POST"), body, requestTimeoutMs);
    if (!response.transportOk)
        return Error{response.transportError};
    if (response.status != 200)
        return Error{QStringLiteral("The server answered with status %1").arg(response.status)};
    return OpenAiEmbeddingCreationResponse::decode(response.body);
}
