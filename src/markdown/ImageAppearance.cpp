#include "markdown/ImageAppearance.h"

namespace Markdown {

bool isImageShown(const QUrl& url, ColorScheme scheme)
{
    if (scheme == ColorScheme::unknown || !url.hasFragment())
        return true;
    const QString fragment = url.fragment().toLower();
    if (fragment == QLatin1String("gh-dark-mode-only"))
        return scheme == ColorScheme::dark;
    if (fragment == QLatin1String("gh-light-mode-only"))
        return scheme == ColorScheme::light;
    return true;
}

} // namespace Markdown
