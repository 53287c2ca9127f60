#include "openai/OpenAiRequests.h"

#include "core/BlockingHttp.h"
#include "core/Endpoints.h"
#include "core/RequestErrors.h"
#include "openai/OpenAiLog.h"
#include "openai/JsonFields.h"

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

OpenAiEmbeddingCreationResponse OpenAiEmbeddingCreationResponse::decode(const QByteArray& utf8)
{
    using namespace JsonFields;
    const Path top;
    const QJsonObject root = parseObject(utf8);
    const QJsonArray entries = requireArray(root, QStringLiteral("data"), top);
    const Path dataPath = top.member(QStringLiteral("data"));
    OpenAiEmbeddingCreationResponse response;
    response.data.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Path path = dataPath.element(i);
        const QJsonObject entry = requireObject(entries.at(i), path);
        Embedding embedding;
        const Path vectorPath = path.member(QStringLiteral("embedding"));
        const QJsonArray values = requireArray(entry, QStringLiteral("embedding"), path);
        embedding.embedding.reserve(values.size());
        for (qsizetype j = 0; j < values.size(); ++j)
            embedding.embedding.append(requireFloat(values.at(j), vectorPath.element(j)));
        embedding.index = requireInt(entry, QStringLiteral("index"), path);
        embedding.object = requireString(entry, QStringLiteral("object"), path);
        response.data.append(std::move(embedding));
    }
    return response;
}

ModelListAnswer fetchModelList(const Endpoints::OpenAiServer& server, const QString& apiKey, const QString& orgKey,
                               int timeoutMs)
{
    if (!isSendableCredential(apiKey) || !isSendableCredential(orgKey))
        return {};
    QNetworkRequest request =
        openAiRequest(server, QStringLiteral("/v1/models"), authorizationHeaders(apiKey, orgKey));
    const HttpResponse response =
        performBlockingRequest(request, QByteArrayLiteral("GET"), {}, timeoutMs, maxServerModelsBodyBytes);
    if (!response.transportOk)
        throw TransportError(response.transportError.toStdString());
    if (response.status != 200)
        return {};
    if (response.bodyTooLarge) {
        qCInfo(lcOpenAi) << "Model list not read: the answer is larger than" << maxServerModelsBodyBytes << "bytes";
        return {ModelListAnswer::Outcome::Unreadable, {}};
    }
    try {
        return {ModelListAnswer::Outcome::Listed, decodeServerModels(response.body)};
    } catch (const DecodingError& error) {
        qCInfo(lcOpenAi) << "Model list not understood:" << error.what();
        return {ModelListAnswer::Outcome::Unreadable, {}};
    }
}

CredentialCheckResult checkCredentials(const Endpoints::OpenAiServer& server, const QString& apiKey,
                                       const QString& orgKey, const QString& model)
{
    ModelListAnswer answer = fetchModelList(server, apiKey, orgKey);
    if (answer.outcome != ModelListAnswer::Outcome::Listed)
        return {};
    const bool listed = std::any_of(answer.models.begin(), answer.models.end(),
                                    [&](const ServerModel& entry) { return entry.id == model; });
    return {listed ? CredentialCheckResult::Outcome::Accepted : CredentialCheckResult::Outcome::ModelUnavailable,
            std::move(answer.models)};
}

bool validateCredentials(const QString& apiKey, const QString& orgKey, const QString& model)
{
    return checkCredentials(Endpoints::openAiServer(), apiKey, orgKey, model).outcome
        == CredentialCheckResult::Outcome::Accepted;
}

OpenAiEmbeddingCreationResponse createEmbedding(const QString& input)
{
    const Endpoints::OpenAiServer server = Endpoints::openAiServer();
    const std::optional<OpenAiCredentials> credentials = readCredentials(server);
    if (!credentials) {
        // The service would refuse a request without a key; do not send one.
        throw OpenAiApiError();
    }
    QList<QPair<QByteArray, QByteArray>> headers = authorizationHeaders(credentials->apiKey, credentials->orgKey);
    headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
    headers.append({QByteArrayLiteral("Accept"), QByteArrayLiteral("application/json")});

    const QByteArray body = OpenAiEmbeddingRequest{input}.encode();
    const HttpResponse response = performBlockingRequest(openAiRequest(server, QStringLiteral("/v1/embeddings"), headers),
                                                         QByteArrayLiteral("POST"), body, requestTimeoutMs);
    if (!response.transportOk)
        throw TransportError(response.transportError.toStdString());
    if (response.status != 200)
        throw OpenAiApiError();
    return OpenAiEmbeddingCreationResponse::decode(response.body);
}
