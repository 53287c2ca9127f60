#include "ui/MessageFormatting.h"

#include "markdown/MarkdownParser.h"
#include "ui/InlineRichText.h"

#include <QCache>

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

// A streaming reply is formatted again with every piece, but only its last
// line is new: the lines before come from here.
void appendLine(QString& html, const QString& line, const InlineRichTextStyle& style)
{
    static QCache<QString, QString> formatted(2048); // the views call from the UI thread only
    const QString key = style.textColor.name() + style.linkColor.name() + line;
    if (const QString* cached = formatted.object(key)) {
        html += *cached;
        return;
    }
    QString lineHtml;
    formatLine(lineHtml, line, style);
    html += lineHtml;
    formatted.insert(key, new QString(std::move(lineHtml)));
}

} // namespace

bool MessageFormatting::needsRichRendering(const QString& text)
{
    return text.contains(QLatin1String(" | ")) || text.contains(QLatin1String("```"));
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
        appendLine(html, line, style);
    }
    return html + QStringLiteral("</div>");
}
