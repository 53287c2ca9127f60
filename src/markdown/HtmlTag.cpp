#include "markdown/HtmlTag.h"

#include <QRegularExpression>
#include <QString>

namespace Markdown {

std::optional<HtmlTag> HtmlTag::fromInlineHtml(std::string_view html)
{
    // Compiled once; matching through a const expression is safe from any thread.
    static const QRegularExpression tagPattern = [] {
        QRegularExpression pattern(QStringLiteral("<\\/?([a-zA-Z0-9]+)[^>]*>"));
        pattern.optimize();
        return pattern;
    }();
    const QRegularExpressionMatch match =
        tagPattern.match(QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size())));
    if (!match.hasMatch())
        return std::nullopt;
    return HtmlTag{match.captured(1).toStdString()};
}

} // namespace Markdown
