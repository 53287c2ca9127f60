#include "core/Endpoints.h"

#include "core/ServerAddress.h"
#include "core/Settings.h"

#include <QByteArray>

namespace {

std::optional<QUrl> fromEnvironment(const char* name)
{
    const QByteArray value = qgetenv(name).trimmed();
    if (value.isEmpty())
        return std::nullopt;
    QUrl url(QString::fromUtf8(value), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

QUrl fromEnvironmentOr(const char* name, const char* fallback)
{
    return fromEnvironment(name).value_or(QUrl(QString::fromLatin1(fallback)));
}

} // namespace

namespace Endpoints {

QUrl openAiDefaultBase() { return QUrl(QStringLiteral("https://api.openai.com")); }

OpenAiServer openAiServerAt(const QString& address)
{
    if (const std::optional<QUrl> played = fromEnvironment("VORBEL_OPENAI_URL"))
        return {*played, true};
    const std::optional<QUrl> chosen = ServerAddress::parse(address);
    if (!chosen)
        return {openAiDefaultBase(), true};
    return {*chosen, chosen->host().compare(openAiDefaultBase().host(), Qt::CaseInsensitive) == 0};
}

OpenAiServer openAiServer() { return openAiServerAt(Settings::instance().text(Settings::openAiBaseUrlKey)); }

QUrl openAiUrl(const OpenAiServer& server, const QString& path) { return ServerAddress::apiUrl(server.base, path); }
QUrl wolframAlphaBase() { return fromEnvironmentOr("VORBEL_WOLFRAM_URL", "https://api.wolframalpha.com"); }
QString pineconeDomain() { return QStringLiteral("pinecone.io"); }
std::optional<QUrl> pineconeBaseOverride() { return fromEnvironment("VORBEL_PINECONE_URL"); }
std::optional<QUrl> catalogueBase() { return fromEnvironment("VORBEL_CATALOGUE_URL"); }
std::optional<QUrl> updateFeed() { return fromEnvironment("VORBEL_UPDATE_FEED_URL"); }
QUrl faqPage() { return fromEnvironmentOr("VORBEL_FAQ_URL", "https://vorbel.app/faq"); }
QUrl openAiSignUpPage() { return QUrl(QStringLiteral("https://platform.openai.com/signup")); }

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

QUrl join(const QUrl& base, const QString& path)
{
    QUrl url = base;
    QString prefix = url.path();
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    url.setPath(prefix + (path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path));
    return url;
}

QByteArray userAgent() { return QByteArrayLiteral("Vorbel/" VORBEL_VERSION " (Linux)"); }

} // namespace Endpoints
