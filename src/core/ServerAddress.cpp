#include "core/ServerAddress.h"

#include "core/Endpoints.h"
#include "core/Settings.h"

#include <QHostAddress>

namespace ServerAddress {

std::optional<QUrl> parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QUrl url(trimmed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty()
        || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return std::nullopt;
    return url;
}

Kind classify(const QString& text)
{
    if (text.trimmed().isEmpty())
        return Kind::Empty;
    const std::optional<QUrl> url = parse(text);
    if (!url)
        return Kind::Invalid;
    if (url->scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
        return Kind::Encrypted;
    const QString host = url->host();
    const QHostAddress address(host);
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || address.isLoopback())
        return Kind::Loopback;
    return Kind::Unencrypted;
}

Kind store(const QString& text)
{
    const Kind kind = classify(text);
    if (kind == Kind::Empty)
        Settings::instance().remove(Settings::openAiBaseUrlKey);
    else if (kind != Kind::Invalid)
        Settings::instance().setText(Settings::openAiBaseUrlKey, text.trimmed());
    return kind;
}

QUrl apiUrl(const QUrl& base, const QString& path)
{
    // Servers document their address with "/v1" as often as without it.
    QUrl withoutVersion = base;
    QString prefix = base.path();
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    if (prefix.endsWith(QLatin1String("/v1")) && path.startsWith(QLatin1String("/v1/")))
        withoutVersion.setPath(prefix.chopped(3));
    return Endpoints::join(withoutVersion, path);
}

} // namespace ServerAddress
