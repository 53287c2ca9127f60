#include "openai/OpenAiRequests.h"

#include "core/Settings.h"
#include "openai/OpenAiLog.h"

std::optional<OpenAiCredentials> readCredentials(const Endpoints::OpenAiServer& server)
{
    const Settings& settings = Settings::instance();
    const QString apiKey = settings.apiKey();
    if (apiKey.isEmpty() && server.isOpenAi)
        return std::nullopt;
    const std::optional<QString> orgKey = settings.storedText(Settings::orgKeyKey);
    if (!isSendableCredential(apiKey) || (orgKey && !isSendableCredential(*orgKey))) {
        qCWarning(lcOpenAi) << "The stored OpenAI credentials hold control characters and are not sent";
        return std::nullopt;
    }
    return OpenAiCredentials{apiKey, orgKey};
}

bool isSendableCredential(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

QList<QPair<QByteArray, QByteArray>> authorizationHeaders(const QString& apiKey, const std::optional<QString>& orgKey)
{
    QList<QPair<QByteArray, QByteArray>> headers;
    // A server without keys gets no header rather than a bare "Bearer ".
    if (!apiKey.isEmpty())
        headers.append({QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + apiKey.toUtf8()});
    if (orgKey && !orgKey->isEmpty())
        headers.append({QByteArrayLiteral("OpenAI-Organization"), orgKey->toUtf8()});
    return headers;
}
