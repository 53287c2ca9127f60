#include "markdown/MarkdownUrl.h"

#include <QString>

namespace Markdown {

std::optional<QUrl> resolveUrl(std::string_view written, const std::optional<QUrl>& base)
{
    if (written.empty())
        return std::nullopt;
    // Strict: a destination with spaces or other stray characters is not a URL,
    // rather than a guess at one.
    const QUrl url(QString::fromUtf8(written.data(), static_cast<qsizetype>(written.size())), QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    if (base && base->isValid())
        return base->resolved(url);
    return url;
}

} // namespace Markdown
