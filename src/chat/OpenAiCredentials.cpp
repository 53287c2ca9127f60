#include "chat/OpenAiRequests.h"

#include "app/Settings.h"

std::optional<OpenAiCredentials> readCredentials()
{
    const Settings& settings = Settings::instance();
    const QString apiKey = settings.apiKey();
    if (apiKey.isEmpty())
        return std::nullopt;
    return OpenAiCredentials{apiKey, settings.storedText(Settings::orgKeyKey)};
}

QList<QPair<QByteArray, QByteArray>> authorizationHeaders(const QString& apiKey, const std::optional<QString>& orgKey)
{
    QList<QPair<QByteArray, QByteArray>> headers;
    headers.append({QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + apiKey.toUtf8()});
    if (orgKey && !orgKey->isEmpty())
        headers.append({QByteArrayLiteral("OpenAI-Organization"), orgKey->toUtf8()});
    return headers;
}
