#include "openai/ServerModels.h"

#include "openai/JsonFields.h"

#include <QJsonObject>
#include <QStringList>

#include <algorithm>
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

bool isHiddenControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F
        || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

bool isPresentableModelId(const QString& id)
{
    if (id.size() > 2 * maxServerModelIdLength) // more code units than any id of the limit has
        return false;
    qsizetype length = 0;
    for (const char32_t c : QStringView(id).toUcs4()) {
        if (isHiddenControl(c) || ++length > maxServerModelIdLength)
            return false;
    }
    return true;
}

Result<QList<ServerModel>> decodeServerModels(const QByteArray& utf8)
{
    using namespace JsonFields;
    Reader read;
    const Path top;
    const QJsonObject root = read.parseObject(utf8);
    const QJsonArray entries = read.requireArray(root, QStringLiteral("data"), top);
    const Path dataPath = top.member(QStringLiteral("data"));
    QList<ServerModel> models;
    models.reserve(std::min<qsizetype>(entries.size(), maxServerModels));
    for (qsizetype i = 0; i < entries.size() && models.size() < maxServerModels; ++i) {
        const Path path = dataPath.element(i);
        const QJsonObject entry = read.requireObject(entries.at(i), path);
        QString id = read.requireString(entry, QStringLiteral("id"), path);
        if (isPresentableModelId(id))
            models.append({std::move(id), reportedContextLength(entry)});
    }
    return read.result(std::move(models));
}

bool isChatModelId(const QString& id)
{
    static const QStringList notChat{
        QStringLiteral("embedding"),  QStringLiteral("audio"),      QStringLiteral("image"),
        QStringLiteral("dall-e"),     QStringLiteral("moderation"), QStringLiteral("whisper"),
        QStringLiteral("transcribe"), QStringLiteral("tts"),        QStringLiteral("realtime"),
        QStringLiteral("davinci"),    QStringLiteral("babbage"),    QStringLiteral("instruct"),
        QStringLiteral("sora"),
    };
    for (const QString& part : notChat) {
        if (id.contains(part, Qt::CaseInsensitive))
            return false;
    }
    return true;
}
