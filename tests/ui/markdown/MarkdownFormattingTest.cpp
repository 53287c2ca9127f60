// Inline rich text and code highlighting: what reaches Qt's rich-text engine.
#include "ui/markdown/CodeHighlighter.h"
#include "ui/markdown/InlineRichText.h"

#include "markdown/MarkdownParser.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QString inlineHtmlOf(const std::string& markdown, bool leaveOutWebImages = false)
{
    const Markdown::BlockNodes blocks = Markdown::parse(markdown);
    const auto* paragraph = blocks.empty() ? nullptr : blocks.front().as<Markdown::BlockNode::Paragraph>();
    if (!paragraph)
        return QStringLiteral("<not a paragraph>");
    InlineRichTextStyle style{QColor(0x1C1C1E), QColor(0x0A7CFF), QColor(0xF5F6F8), QStringLiteral("Mono"),
                              leaveOutWebImages};
    return inlineRichText(paragraph->content, style);
}

TEST(InlineRichText, escapesTextAndDrawsEachInlineKind)
{
    struct Case {
        std::string markdown;
        std::vector<QString> contains;
        std::vector<QString> absent;
    };
    const std::vector<Case> cases{
        {"a <script>x</script> & <b>y</b>", {"&lt;script&gt;", "&amp;", "&lt;b&gt;"}, {"<script>", "<b>"}},
        {"*e* **s** ~~d~~ `a<b>`",
         {"<i>e</i>", "<b>s</b>", "<s>d</s>", "font-family:'Mono';background-color:#f5f6f8;\">a&lt;b&gt;</span>"},
         {}},
        {"[x](https://e.com/?a=1&b=2)", {"<a href=\"https://e.com/?a=1&amp;b=2\" style=\"color:#0a7cff;"}, {}},
        {"one<br>two  \nthree\nfour", {"one<br/>two<br/>three four"}, {}},
        {"see www.example.org", {"href=\"http://www.example.org\""}, {}},
        {"[no address]() and [bad](<a b>)", {"no address and bad"}, {"<a "}},
        {"![web](https://e.com/p.png) ![local](file:///etc/p.png)", {"local"}, {"web"}},
    };
    for (const Case& c : cases) {
        const bool leaveOut = c.markdown.starts_with("![");
        const QString html = inlineHtmlOf(c.markdown, leaveOut);
        EXPECT_TRUE(html.startsWith("<span style=\"color:#1c1c1e\">")) << html.toStdString();
        for (const QString& part : c.contains)
            EXPECT_TRUE(html.contains(part))
                << c.markdown << "\n  gives " << html.toStdString() << "\n  lacks " << part.toStdString();
        for (const QString& part : c.absent)
            EXPECT_FALSE(html.contains(part))
                << c.markdown << "\n  gives " << html.toStdString() << "\n  has " << part.toStdString();
    }
}

TEST(CodeHighlighter, coloursTheTokensOfKnownLanguagesOnly)
{
    const QString keyword = QStringLiteral("<span style=\"color:#9B2393\">");
    const QString string = QStringLiteral("<span style=\"color:#C41A16\">");
    const QString comment = QStringLiteral("<span style=\"color:#5D6C79\">");
    const QString number = QStringLiteral("<span style=\"color:#1C00CF\">");
    struct Case {
        QString fenceInfo;
        QString code;
        std::vector<QString> contains;
    };
    const std::vector<Case> cases{
        {"cpp",
         "return \"a<b\"; // done\n/* x */ 42",
         {keyword + "return</span>", string + "&quot;a&lt;b&quot;</span>", comment + "// done</span>",
          comment + "/* x */</span>", number + "42</span>"}},
        {"Python {.numberLines}",
         "def f():\n    s = '''a\n# b'''  # c",
         {keyword + "def</span>", string + "'''a\n# b'''</span>", comment + "# c</span>"}},
        {"sql", "SELECT 'it''s' -- q", {keyword + "SELECT</span>", comment + "-- q</span>"}},
        {"bash", "echo $# \"x\" # note", {keyword + "echo</span>", comment + "# note</span>"}},
        {"diff",
         "@@ -1 +1 @@\n-old\n+new",
         {"<span style=\"color:#D70015\">-old</span>", "<span style=\"color:#248A3D\">+new</span>"}},
        {"html",
         "<a href=\"x\">t</a> <!-- c -->",
         {keyword + "&lt;a</span>", keyword + "&lt;/a</span>", comment + "&lt;!-- c --&gt;</span>"}},
        {"yaml",
         "name: \"x\" # c\nlist:\n  - 1",
         {keyword + "name</span>", keyword + "list</span>", comment + "# c</span>"}},
        {"klingon", "return 1 <tag>", {"<div style=\"white-space:pre\">return 1 &lt;tag&gt;</div>"}},
    };
    for (const Case& c : cases) {
        const QString html = CodeHighlighter::toHtml(c.code, CodeHighlighter::languageOf(c.fenceInfo),
                                                     CodeHighlighter::Appearance::Light);
        for (const QString& part : c.contains)
            EXPECT_TRUE(html.contains(part))
                << c.fenceInfo.toStdString() << " gives " << html.toStdString() << "\n  lacks " << part.toStdString();
        // Nothing of the code is lost or added, apart from markup.
        QString text = html;
        text.remove(QRegularExpression("<[^>]*>"));
        text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
        EXPECT_EQ(text, c.code) << c.fenceInfo.toStdString();
    }
    EXPECT_NE(CodeHighlighter::toHtml("return", "cpp", CodeHighlighter::Appearance::Dark).indexOf("#FF7AB2"), -1);
}

} // namespace
