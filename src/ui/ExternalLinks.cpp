#include "ui/ExternalLinks.h"

#include <QDesktopServices>
#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcLinks, "vorbel.ui.links")
}

bool ExternalLinks::isOpenable(const QUrl& url)
{
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return !url.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

bool ExternalLinks::open(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!isOpenable(url)) {
        qCInfo(lcLinks) << "A link that is not a web or mail address is not opened; scheme:" << url.scheme();
        return false;
    }
    return QDesktopServices::openUrl(url);
}
