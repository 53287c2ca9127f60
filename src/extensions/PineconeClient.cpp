#include "extensions/PineconeClient.h"

#include "core/BlockingHttp.h"
#include "core/Endpoints.h"
#include "core/Settings.h"
#include "openai/OpenAiRequests.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkRequest>
#include <QUuid>

#include <cmath>

namespace Pinecone {

namespace {

constexpr int requestTimeoutMs = 60000;

QJsonArray floatArray(const QList<float>& values)
{
    QJsonArray array;
    for (const float value : values)
        array.append(double(value));
    return array;
}

QJsonObject decodeObject(const QByteArray& utf8)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError)
        throw PineconeDecodingError(error.errorString().toStdString());
    if (!document.isObject())
        throw PineconeDecodingError("expected a JSON object");
    return document.object();
}

QList<float> decodeFloats(const QJsonValue& value, const char* field)
{
    if (!value.isArray())
        throw PineconeDecodingError(std::string(field) + " is not an array");
    QList<float> floats;
    for (const auto& element : value.toArray()) {
        if (!element.isDouble())
            throw PineconeDecodingError(std::string(field) + " holds a value that is not a number");
        floats.append(float(element.toDouble()));
    }
    return floats;
}

Match decodeMatch(const QJsonValue& value)
{
    if (!value.isObject())
        throw PineconeDecodingError("match is not an object");
    const QJsonObject object = value.toObject();
    Match match;
    if (!object.value(QLatin1String("id")).isString())
        throw PineconeDecodingError("match without id");
    match.id = object.value(QLatin1String("id")).toString();
    if (!object.value(QLatin1String("score")).isDouble())
        throw PineconeDecodingError("match without score");
    match.score = float(object.value(QLatin1String("score")).toDouble());
    const QJsonValue values = object.value(QLatin1String("values"));
    if (!values.isUndefined() && !values.isNull())
        match.values = decodeFloats(values, "values");
    const QJsonValue metadata = object.value(QLatin1String("metadata"));
    if (!metadata.isUndefined() && !metadata.isNull()) {
        if (!metadata.isObject() || !metadata.toObject().value(QLatin1String("text")).isString())
            throw PineconeDecodingError("metadata without text");
        match.metadata = Metadata{metadata.toObject().value(QLatin1String("text")).toString()};
    }
    return match;
}

// One POST to the index; anything but a 200 counts as refused credentials.
QByteArray post(const QString& path, const QJsonObject& body)
{
    QNetworkRequest request(Endpoints::join(pineconeBaseUrl(), path));
    if (const auto key = Settings::instance().storedText(Settings::pineconeApiKeyKey)) {
        // A key holding a line break (pasted with it) would end the header and
        // send whatever follows as headers of its own: refused, not sent.
        if (!isSendableCredential(*key))
            throw PineconeError(PineconeError::Kind::InvalidCredentials);
        request.setRawHeader("Api-Key", key->toUtf8());
    }
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Accept", "application/json");
    const HttpResponse response =
        performBlockingRequest(request, "POST", QJsonDocument(body).toJson(QJsonDocument::Compact), requestTimeoutMs);
    if (!response.transportOk || response.status != 200)
        throw PineconeError(PineconeError::Kind::InvalidCredentials);
    return response.body;
}

} // namespace

QueryResponse QueryResponse::decode(const QByteArray& utf8)
{
    const QJsonObject object = decodeObject(utf8);
    const QJsonValue matches = object.value(QLatin1String("matches"));
    if (!matches.isArray())
        throw PineconeDecodingError("query answer without matches");
    QueryResponse response;
    for (const auto& match : matches.toArray())
        response.matches.append(decodeMatch(match));
    return response;
}

UpsertVectorsResponse UpsertVectorsResponse::decode(const QByteArray& utf8)
{
    const QJsonValue count = decodeObject(utf8).value(QLatin1String("upsertedCount"));
    // Range first: converting a double outside qint64 is undefined.
    const double number = count.toDouble();
    if (!count.isDouble() || !(std::abs(number) < 0x1p63) || number != std::trunc(number))
        throw PineconeDecodingError("upsert answer without an integer upsertedCount");
    return UpsertVectorsResponse{qint64(number)};
}

DeleteVectorsResponse DeleteVectorsResponse::decode(const QByteArray& utf8)
{
    decodeObject(utf8);
    return DeleteVectorsResponse{};
}

QString pineconeBaseAddress()
{
    const Settings& settings = Settings::instance();
    const std::optional<QString> environment = settings.storedText(Settings::pineconeEnvironmentKey);
    const std::optional<QString> index = settings.storedText(Settings::pineconeIndexKey);
    if (!environment || !index)
        throw PineconeError(PineconeError::Kind::MissingCredentials);
    if (const auto override = Endpoints::pineconeBaseOverride())
        return override->toString(QUrl::FullyEncoded);
    return QStringLiteral("https://") + *index + QStringLiteral(".svc.") + *environment + QLatin1Char('.')
         + Endpoints::pineconeDomain();
}

QUrl pineconeBaseUrl()
{
    const QString address = pineconeBaseAddress();
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        throw PineconeAddressError("not a valid address: " + address.toStdString());
    if (Endpoints::pineconeBaseOverride())
        return url;
    const QString composedHost = address.mid(QStringLiteral("https://").size());
    if (url.scheme() != QLatin1String("https") || url.host() != composedHost.toLower() || url.port() != -1
        || !url.path().isEmpty() || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        throw PineconeAddressError("not an index host: " + address.toStdString());
    return url;
}

UpsertVectorsResponse upsertVector(const QList<float>& values, const QString& text, const std::optional<QString>& id)
{
    const QString vectorId = id.value_or(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    const QJsonObject vector{{QStringLiteral("id"), vectorId},
                             {QStringLiteral("values"), floatArray(values)},
                             {QStringLiteral("metadata"), QJsonObject{{QStringLiteral("text"), text}}}};
    return UpsertVectorsResponse::decode(
        post(QStringLiteral("/vectors/upsert"), QJsonObject{{QStringLiteral("vectors"), QJsonArray{vector}}}));
}

QueryResponse queryVectors(const QList<float>& vector)
{
    return QueryResponse::decode(
        post(QStringLiteral("/query"), QJsonObject{{QStringLiteral("topK"), 6},
                                                   {QStringLiteral("includeValues"), false},
                                                   {QStringLiteral("includeMetadata"), true},
                                                   {QStringLiteral("vector"), floatArray(vector)}}));
}

DeleteVectorsResponse deleteVectors(const QStringList& ids)
{
    return DeleteVectorsResponse::decode(
        post(QStringLiteral("/vectors/delete"), QJsonObject{{QStringLiteral("ids"), QJsonArray::fromStringList(ids)},
                                                            {QStringLiteral("deleteAll"), false}}));
}

DeleteVectorsResponse deleteAllVectors()
{
    return DeleteVectorsResponse::decode(
        post(QStringLiteral("/vectors/delete"), QJsonObject{{QStringLiteral("deleteAll"), true}}));
}

} // namespace Pinecone
