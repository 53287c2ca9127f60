#include "ui/MessageFormatting.h"

#include "markdown/MarkdownParser.h"

namespace {

using Markdown::InlineNode;
using Markdown::InlineNodes;

QString escaped(const std::string& utf8) { return QString::fromStdString(utf8).toHtmlEscaped(); }

void appendInline(QString& html, const InlineNodes& nodes, const QString& linkColor);

void appendWrapped(QString& html, const char* tag, const InlineNodes& children, const QString& linkColor)
{
    html += QStringLiteral("<%1>").arg(QLatin1String(tag));
    appendInline(html, children, linkColor);
    html += QStringLiteral("</%1>").arg(QLatin1String(tag));
}

void appendInline(QString& html, const InlineNodes& nodes, const QString& linkColor)
{
    for (const InlineNode& node : nodes) {
        if (const auto* text = node.as<InlineNode::Text>()) {
            html += escaped(text->text);
        } else if (const auto* code = node.as<InlineNode::Code>()) {
            html += QStringLiteral("<code>") + escaped(code->code) + QStringLiteral("</code>");
        } else if (const auto* raw = node.as<InlineNode::Html>()) {
            html += escaped(raw->html); // shown as written, never interpreted
        } else if (const auto* emphasis = node.as<InlineNode::Emphasis>()) {
            appendWrapped(html, "i", emphasis->children, linkColor);
        } else if (const auto* strong = node.as<InlineNode::Strong>()) {
            appendWrapped(html, "b", strong->children, linkColor);
        } else if (const auto* struck = node.as<InlineNode::Strikethrough>()) {
            appendWrapped(html, "s", struck->children, linkColor);
        } else if (const auto* link = node.as<InlineNode::Link>()) {
            html += QStringLiteral("<a href=\"%1\" style=\"color:%2\">")
                        .arg(escaped(link->destination).replace(QLatin1Char('"'), QLatin1String("&quot;")), linkColor);
            appendInline(html, link->children, linkColor);
            html += QStringLiteral("</a>");
        } else if (const auto* image = node.as<InlineNode::Image>()) {
            appendInline(html, image->children, linkColor); // its alternative text
        } else if (node.kind() == InlineNode::Kind::softBreak) {
            html += QLatin1Char(' ');
        } else if (node.kind() == InlineNode::Kind::lineBreak) {
            html += QStringLiteral("<br>");
        }
    }
}

// A backslash before whatever would open a block (heading, quote, list,
// rule, table, fence, HTML) keeps the line a paragraph of inline text.
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

void appendLine(QString& html, const QString& line, const QString& linkColor)
{
    qsizetype indent = 0;
    while (indent < line.size() && (line[indent] == QLatin1Char(' ') || line[indent] == QLatin1Char('\t')))
        ++indent;
    html += line.left(indent); // kept by pre-wrap
    const QString rest = line.mid(indent);
    if (rest.trimmed().isEmpty())
        return;
    const Markdown::BlockNodes blocks = Markdown::parse(asParagraph(rest).toStdString());
    const auto* paragraph = blocks.size() == 1 ? blocks.front().as<Markdown::BlockNode::Paragraph>() : nullptr;
    if (paragraph)
        appendInline(html, paragraph->content, linkColor);
    else
        html += rest.toHtmlEscaped();
}

} // namespace

bool MessageFormatting::needsRichRendering(const QString& text)
{
    return text.contains(QLatin1String(" | ")) || text.contains(QLatin1String("```"));
}

QString MessageFormatting::plainHtml(const QString& text, const QColor& linkColor)
{
    const QString color = linkColor.name();
    QString html = QStringLiteral("<div style=\"white-space:pre-wrap\">");
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            html += QStringLiteral("<br>");
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        appendLine(html, line, color);
    }
    return html + QStringLiteral("</div>");
}
