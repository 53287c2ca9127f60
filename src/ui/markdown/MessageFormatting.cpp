#include "ui/markdown/MessageFormatting.h"

#include "markdown/MarkdownParser.h"
#include "store/ConversationSearch.h"
#include "ui/markdown/InlineRichText.h"

#include <QCache>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace {

// A backslash before the mark that opens a block (heading, quote, list,
// rule, fence, HTML) keeps the line a paragraph of inline text.
QString asParagraph(const QString& line)
{
    static const QString blockMarks = QStringLiteral("#>-+*=_|~`<");
    if (blockMarks.contains(line.front()))
        return QLatin1Char('\\') + line;
    int digits = 0;
    while (digits < line.size() && digits < 10 && line[digits].isDigit())
        ++digits;
    if (digits > 0 && digits < line.size() && (line[digits] == QLatin1Char('.') || line[digits] == QLatin1Char(')')))
        return line.left(digits) + QLatin1Char('\\') + line.mid(digits);
    return line;
}

void formatLine(QString& html, const QString& line, const InlineRichTextStyle& style)
{
    qsizetype indent = 0;
    while (indent < line.size() && (line[indent] == QLatin1Char(' ') || line[indent] == QLatin1Char('\t')))
        ++indent;
    html += line.left(indent); // kept by pre-wrap
    const QString rest = line.mid(indent);
    if (rest.trimmed().isEmpty())
        return;
    if (utf8Length(rest) > MessageFormatting::maxInlineLineBytes) {
        html += rest.toHtmlEscaped();
        return;
    }
    // Most lines parse as a paragraph as they stand; only a line that would
    // open a block is parsed again with its first mark escaped.
    for (const QString& source : {rest, asParagraph(rest)}) {
        const Markdown::BlockNodes blocks = Markdown::parse(source.toStdString());
        if (blocks.size() == 1) {
            if (const auto* paragraph = blocks.front().as<Markdown::BlockNode::Paragraph>()) {
                html += inlineRichText(paragraph->content, style);
                return;
            }
        }
    }
    html += rest.toHtmlEscaped();
}

// Charged by the bytes of key and value, least recently used out first. The
// views call from the UI thread only.
QCache<QString, QString>& lineCache()
{
    static QCache<QString, QString> formatted(MessageFormatting::lineCacheBytes);
    return formatted;
}

// A streaming reply is formatted again with every piece, but only its last
// line is new: the lines before come from the cache. The last line is still
// growing and would only fill the cache with its prefixes.
void appendLine(QString& html, const QString& line, const InlineRichTextStyle& style, bool finished)
{
    if (!finished) {
        formatLine(html, line, style);
        return;
    }
    QCache<QString, QString>& formatted = lineCache();
    const QString key = style.textColor.name() + style.linkColor.name() + line;
    if (const QString* cached = formatted.object(key)) {
        html += *cached;
        return;
    }
    QString lineHtml;
    formatLine(lineHtml, line, style);
    html += lineHtml;
    const qsizetype cost = (key.size() + lineHtml.size()) * qsizetype(sizeof(QChar));
    formatted.insert(key, new QString(std::move(lineHtml)), cost); // one over the whole cap is not kept
}

} // namespace

qsizetype utf8Length(QStringView text)
{
    // Plain integers and no branch, so that the compiler counts many units at once.
    const char16_t* units = text.utf16();
    qsizetype bytes = text.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const unsigned c = units[i];
        bytes += unsigned(c >= 0x80) + unsigned((c >= 0x800) & ((c & 0xF800) != 0xD800)); // a pair makes 4
    }
    return bytes;
}

bool MessageFormatting::needsRichRendering(const QString& text)
{
    return text.contains(QLatin1String(" | ")) || text.contains(QLatin1String("```"));
}

// A UTF-16 unit makes one to three bytes, so only a text or line long enough
// to pass a cap is counted: a streaming reply is checked on every piece.
bool MessageFormatting::isOversized(const QString& text)
{
    if (text.size() > maxFormattedBytes)
        return true;
    if (text.size() * 3 > maxFormattedBytes && utf8Length(text) > maxFormattedBytes)
        return true;
    if (text.size() * 3 <= maxFormattedLineBytes)
        return false;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        if ((end - start) * 3 > maxFormattedLineBytes
            && utf8Length(QStringView(text).sliced(start, end - start)) > maxFormattedLineBytes)
            return true;
        start = end + 1;
    }
    return false;
}

MessageFormatting::Rendering MessageFormatting::renderingOf(const QString& text)
{
    if (isOversized(text))
        return Rendering::Oversized;
    return needsRichRendering(text) ? Rendering::Rich : Rendering::Plain;
}

QString MessageFormatting::plainHtml(const QString& text, const QColor& textColor, const QColor& linkColor)
{
    InlineRichTextStyle style;
    style.textColor = textColor;
    style.linkColor = linkColor;
    QString html = QStringLiteral("<div style=\"white-space:pre-wrap\">");
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            html += QStringLiteral("<br>");
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        appendLine(html, line, style, i + 1 < lines.size());
    }
    return html + QStringLiteral("</div>");
}

QString MessageFormatting::plainTextOf(const QString& html)
{
    return QTextDocumentFragment::fromHtml(html).toPlainText().trimmed();
}

QVariantList MessageFormatting::linkRanges(QQuickTextDocument* document)
{
    QVariantList links;
    if (!document)
        return links;
    for (QTextBlock block = document->textDocument()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString href = fragment.charFormat().anchorHref();
            if (href.isEmpty())
                continue;
            const int start = fragment.position();
            const int end = start + fragment.length();
            // A link whose text changes format midway is still one link.
            QVariantMap last = links.isEmpty() ? QVariantMap() : links.constLast().toMap();
            if (last.value("href") == href && last.value("end") == start) {
                last["end"] = end;
                links.last() = last;
            } else {
                links.append(QVariantMap{{"start", start}, {"end", end}, {"href", href}});
            }
        }
    }
    return links;
}

qsizetype MessageFormatting::cachedLineBytes() { return lineCache().totalCost(); }

QList<int> MessageFormatting::searchMatch(const QString& shownText, const QString& searchText)
{
    const auto match = ConversationSearch::firstMatch(shownText, searchText);
    return match ? QList<int>{int(match->first), int(match->second)} : QList<int>();
}
