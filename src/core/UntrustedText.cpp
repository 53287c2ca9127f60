#include "core/UntrustedText.h"

#include <algorithm>

namespace UntrustedText {

namespace {

bool isTerminalControl(char16_t c)
{
    if (c == u'\n' || c == u'\t')
        return false;
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool isHiddenFormatting(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) // embeddings and overrides
        || (c >= 0x2066 && c <= 0x2069) // isolates
        || (c >= 0x200B && c <= 0x200F) // zero-width characters and direction marks
        || c == 0x061C || c == 0x2028 || c == 0x2029 || c == 0xFEFF;
}

} // namespace

QString escaped(const QString& text, Escape what)
{
    const auto needsEscape = [what](char16_t c) {
        if (what == Escape::TerminalControls)
            return isTerminalControl(c);
        if (what == Escape::EverythingHiddenButLineFeeds && c == u'\n')
            return false;
        return (c != u'\t' && (c < 0x20 || (c >= 0x7F && c <= 0x9F))) || isHiddenFormatting(c);
    };
    const auto first = std::find_if(text.cbegin(), text.cend(), [&](QChar c) { return needsEscape(c.unicode()); });
    if (first == text.cend())
        return text;
    QString result = text.left(first - text.cbegin());
    result.reserve(text.size() + 16);
    for (auto it = first; it != text.cend(); ++it) {
        const char16_t c = it->unicode();
        if (needsEscape(c))
            result += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        else
            result += *it;
    }
    return result;
}

QString fenceFor(const QString& content)
{
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : content) {
        run = c == QLatin1Char('`') ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return QString(std::max<qsizetype>(3, longest + 1), QLatin1Char('`'));
}

} // namespace UntrustedText
