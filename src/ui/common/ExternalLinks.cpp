#include "ui/common/ExternalLinks.h"

#include "core/Endpoints.h"
#include "ui/common/UiLog.h"

#include <QDesktopServices>
#include <QStringList>

namespace {

bool isMailto(const QUrl& url) { return url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0; }

// Header names in a mailto: query are case-insensitive and may be percent-encoded.
bool isKeptMailField(const QString& item)
{
    const QString name = QUrl::fromPercentEncoding(item.section(QLatin1Char('='), 0, 0).toUtf8()).toLower();
    return name == QLatin1String("subject") || name == QLatin1String("body");
}

} // namespace

bool ExternalLinks::isOpenable(const QUrl& url)
{
    if (!url.isValid())
        return false;
    if (isMailto(url))
        return !url.path().isEmpty();
    return Endpoints::isWebAddress(url);
}

std::optional<QUrl> ExternalLinks::openableUrl(const QString& address)
{
    QUrl url(address, QUrl::StrictMode);
    if (!isOpenable(url))
        return std::nullopt;
    if (isMailto(url)) {
        QStringList kept = url.query(QUrl::FullyEncoded).split(QLatin1Char('&'), Qt::SkipEmptyParts);
        kept.removeIf([](const QString& item) { return !isKeptMailField(item); });
        url.setQuery(kept.isEmpty() ? QString() : kept.join(QLatin1Char('&')), QUrl::StrictMode);
        url.setFragment(QString());
    }
    return url;
}

bool ExternalLinks::open(const QString& address)
{
    const std::optional<QUrl> url = openableUrl(address);
    if (!url) {
        qCInfo(lcUi) << "A link that is not a web or mail address is not opened; scheme:" << QUrl(address).scheme();
        return false;
    }
    return QDesktopServices::openUrl(*url);
}
