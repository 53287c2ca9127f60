#include "markdown/ImageAppearance.h"

namespace Markdown {

bool isImageShown(const QUrl& url, ColorScheme scheme)
{
    if (scheme == ColorScheme::Unknown || !url.hasFragment())
        return true;
    const QString fragment = url.fragment().toLower();
    if (fragment == QLatin1String("gh-dark-mode-only"))
        return scheme == ColorScheme::Dark;
    if (fragment == QLatin1String("gh-light-mode-only"))
        return scheme == ColorScheme::Light;
    return true;
}

} // namespace Markdown
