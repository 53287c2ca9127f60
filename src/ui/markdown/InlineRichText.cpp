#include "ui/markdown/InlineRichText.h"

#include "markdown/HtmlTag.h"
#include "markdown/MarkdownUrl.h"

namespace {

QString cssColor(const QColor& color) { return color.name(color.alpha() == 255 ? QColor::HexRgb : QColor::HexArgb); }

QString escaped(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

class InlineWriter {
public:
    explicit InlineWriter(const InlineRichTextStyle& style)
        : m_style(style)
    {
    }

    void write(const Markdown::InlineNodes& nodes)
    {
        for (const Markdown::InlineNode& node : nodes)
            write(node);
    }

    QString html;

private:
    void write(const Markdown::InlineNode& node)
    {
        using Node = Markdown::InlineNode;
        if (const auto* text = node.as<Node::Text>()) {
            html += escaped(text->text);
        } else if (const auto* code = node.as<Node::Code>()) {
            QString style =
                QStringLiteral("font-family:'%1';")
                    .arg(m_style.codeFontFamily.isEmpty() ? QStringLiteral("monospace") : m_style.codeFontFamily);
            if (m_style.codeBackground.isValid())
                style += QStringLiteral("background-color:%1;").arg(cssColor(m_style.codeBackground));
            html += QStringLiteral("<span style=\"%1\">%2</span>").arg(style, escaped(code->code));
        } else if (const auto* inlineHtml = node.as<Node::Html>()) {
            // Shown as written, apart from a line break tag.
            const std::optional<Markdown::HtmlTag> tag = Markdown::HtmlTag::fromInlineHtml(inlineHtml->html);
            if (tag && QString::fromStdString(tag->name).toLower() == QLatin1String("br"))
                html += QStringLiteral("<br/>");
            else
                html += escaped(inlineHtml->html);
        } else if (const auto* emphasis = node.as<Node::Emphasis>()) {
            wrap(QStringLiteral("<i>"), emphasis->children, QStringLiteral("</i>"));
        } else if (const auto* strong = node.as<Node::Strong>()) {
            wrap(QStringLiteral("<b>"), strong->children, QStringLiteral("</b>"));
        } else if (const auto* strikethrough = node.as<Node::Strikethrough>()) {
            wrap(QStringLiteral("<s>"), strikethrough->children, QStringLiteral("</s>"));
        } else if (const auto* link = node.as<Node::Link>()) {
            writeLink(*link);
        } else if (const auto* image = node.as<Node::Image>()) {
            if (!(m_style.leaveOutWebImages && isWebImageSource(image->source)))
                write(image->children);
        } else if (node.as<Node::SoftBreak>()) {
            html += QLatin1Char(' ');
        } else if (node.as<Node::LineBreak>()) {
            html += QStringLiteral("<br/>");
        }
    }

    void wrap(const QString& open, const Markdown::InlineNodes& children, const QString& close)
    {
        html += open;
        write(children);
        html += close;
    }

    void writeLink(const Markdown::InlineNode::Link& link)
    {
        const std::optional<QUrl> url = Markdown::resolveUrl(link.destination);
        if (!url) {
            write(link.children);
            return;
        }
        html += QStringLiteral("<a href=\"%1\" style=\"color:%2;text-decoration:underline\">")
                    .arg(url->toString(QUrl::FullyEncoded).toHtmlEscaped(), cssColor(m_style.linkColor));
        write(link.children);
        html += QStringLiteral("</a>");
    }

    const InlineRichTextStyle& m_style;
};

} // namespace

QString inlineRichText(const Markdown::InlineNodes& nodes, const InlineRichTextStyle& style)
{
    InlineWriter writer(style);
    writer.write(nodes);
    return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(cssColor(style.textColor), writer.html);
}

bool isWebImageSource(const std::string& source)
{
    const std::optional<QUrl> url = Markdown::resolveUrl(source);
    if (!url)
        return false;
    const QString scheme = url->scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url->host().isEmpty();
}
