#include "ui/MessageFormatting.h"

#include <gtest/gtest.h>

// Plain bubbles show inline Markdown and nothing else: block marks stay the
// characters typed, raw HTML is never interpreted, and lines keep their breaks.
TEST(MessageFormatting, PlainTextShowsInlineMarkdownOnly)
{
    struct Case {
        QString text;
        QStringList expected; // each in the HTML
        QString absent;
    };
    const QList<Case> cases{
        {"**Recursion** is *neat*", {"<b>Recursion</b> is <i>neat</i>"}, "**"},
        {"# Title", {"# Title"}, "<h1"},
        {"- item\n2. second", {">- item<", ">2. second<"}, "<li"},
        {"* * *", {"* * *"}, "<hr"},
        {"> quoted", {"&gt; quoted"}, "<blockquote"},
        {"a <b onclick=\"x\">tag</b>", {"a &lt;b onclick=&quot;x&quot;&gt;tag&lt;/b&gt;"}, "<b "},
        {"    indented\n\nnext", {"    <span", "indented", "<br><br>"}, "<pre"},
        {"see [docs](https://example.com/a)", {"<a href=\"https://example.com/a\"", ">docs</a>"}, ""},
    };
    for (const Case& c : cases) {
        const QString html = MessageFormatting::plainHtml(c.text, QColor(0x1C1C1E), QColor(0x0A7CFF));
        for (const QString& part : c.expected)
            EXPECT_TRUE(html.contains(part)) << c.text.toStdString() << " -> " << html.toStdString();
        if (!c.absent.isEmpty()) {
            EXPECT_FALSE(html.contains(c.absent)) << c.text.toStdString() << " -> " << html.toStdString();
        }
    }
}

TEST(MessageFormatting, TablesAndFencesNeedTheBlockViews)
{
    EXPECT_TRUE(MessageFormatting::needsRichRendering("a | b"));
    EXPECT_TRUE(MessageFormatting::needsRichRendering("```\ncode"));
    EXPECT_FALSE(MessageFormatting::needsRichRendering("a|b and **bold** with [a link](https://example.com)"));
}
