#include "store/AssistantSeed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace {

std::optional<QString> requiredString(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// JSON numbers arrive as doubles; only whole numbers that fit in qint16 count.
std::optional<qint16> requiredInt16(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number)
        return std::nullopt;
    if (number < std::numeric_limits<qint16>::min() || number > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(number);
}

// Absent or null gives "no value"; any other non-boolean is a decoding failure.
bool optionalBool(const QJsonObject& object, const QString& key, std::optional<bool>& out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        out.reset();
        return true;
    }
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

std::optional<AssistantSeed> decodeSeed(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    auto name = requiredString(object, QStringLiteral("name"));
    auto personality = requiredString(object, QStringLiteral("personality"));
    auto intro = requiredString(object, QStringLiteral("intro"));
    auto picture = requiredString(object, QStringLiteral("profilePictureUrl"));
    auto version = requiredInt16(object, QStringLiteral("version"));
    if (!name || !personality || !intro || !picture || !version)
        return std::nullopt;
    AssistantSeed seed;
    seed.name = *name;
    seed.personality = *personality;
    seed.intro = *intro;
    seed.profilePictureUrl = *picture;
    seed.version = *version;
    if (!optionalBool(object, QStringLiteral("forceDelete"), seed.forceDelete))
        return std::nullopt;
    return seed;
}

} // namespace

std::optional<AssistantApiResponse> decodeAssistantApiResponse(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue list = document.object().value(QStringLiteral("assistants"));
    if (!list.isArray())
        return std::nullopt;
    const QJsonArray entries = list.toArray();
    AssistantApiResponse response;
    response.assistants.reserve(static_cast<std::size_t>(entries.size()));
    for (const auto& entry : entries) {
        auto seed = decodeSeed(entry);
        if (!seed)
            return std::nullopt;
        response.assistants.push_back(std::move(*seed));
    }
    return response;
}
