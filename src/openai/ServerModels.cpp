#include "openai/ServerModels.h"

#include "openai/JsonFields.h"

#include <QJsonObject>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

std::optional<int> positiveInt(const QJsonValue& value)
{
    const double number = value.toDouble(-1);
    if (!value.isDouble() || !std::isfinite(number) || number < 1 || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

std::optional<int> reportedContextLength(const QJsonObject& entry)
{
    for (const char* key : {"max_model_len", "context_length", "context_window"}) {
        if (const auto length = positiveInt(entry.value(QLatin1String(key))))
            return length;
    }
    return positiveInt(entry.value(QLatin1String("meta")).toObject().value(QLatin1String("n_ctx_train")));
}

} // namespace

QList<ServerModel> decodeServerModels(const QByteArray& utf8)
{
    using namespace JsonFields;
    const Path top;
    const QJsonObject root = parseObject(utf8);
    const QJsonArray entries = requireArray(root, QStringLiteral("data"), top);
    const Path dataPath = top.member(QStringLiteral("data"));
    QList<ServerModel> models;
    models.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Path path = dataPath.element(i);
        const QJsonObject entry = requireObject(entries.at(i), path);
        models.append({requireString(entry, QStringLiteral("id"), path), reportedContextLength(entry)});
    }
    return models;
}

bool isChatModelId(const QString& id)
{
    static const QStringList notChat{
        QStringLiteral("embedding"), QStringLiteral("audio"),    QStringLiteral("image"),
        QStringLiteral("dall-e"),    QStringLiteral("moderation"), QStringLiteral("whisper"),
        QStringLiteral("transcribe"), QStringLiteral("tts"),      QStringLiteral("realtime"),
        QStringLiteral("davinci"),   QStringLiteral("babbage"),  QStringLiteral("instruct"),
        QStringLiteral("sora"),
    };
    for (const QString& part : notChat) {
        if (id.contains(part, Qt::CaseInsensitive))
            return false;
    }
    return true;
}
