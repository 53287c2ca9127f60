#include "ui/markdown/MessageFormatting.h"
#include "ui/markdown/TextChunks.h"

#include <gtest/gtest.h>

// Plain bubbles show inline Markdown and nothing else: block marks stay the
// characters typed, raw HTML is never interpreted, and lines keep their breaks.
TEST(MessageFormatting, PlainTextShowsInlineMarkdownOnly)
{
    // Text, parts each in the HTML, and a part that must not be.
    const QList<std::tuple<QString, QStringList, QString>> cases{
        {"**Recursion** is *neat*", {"<b>Recursion</b> is <i>neat</i>"}, "**"},
        {"# Title", {"# Title"}, "<h1"},
        {"- item\n2. second", {">- item<", ">2. second<"}, "<li"},
        {"* * *", {"* * *"}, "<hr"},
        {"> quoted", {"&gt; quoted"}, "<blockquote"},
        {"a <b onclick=\"x\">tag</b>", {"a &lt;b onclick=&quot;x&quot;&gt;tag&lt;/b&gt;"}, "<b "},
        {"    indented\n\nnext", {"    <span", "indented", "<br><br>"}, "<pre"},
        {"see [docs](https://example.com/a)", {"<a href=\"https://example.com/a\"", ">docs</a>"}, ""},
    };
    for (const auto& [text, expected, absent] : cases) {
        const QString html = MessageFormatting::plainHtml(text, QColor(0x1C1C1E), QColor(0x0A7CFF));
        SCOPED_TRACE(text.toStdString() + " -> " + html.toStdString());
        for (const QString& part : expected)
            EXPECT_TRUE(html.contains(part));
        EXPECT_TRUE(absent.isEmpty() || !html.contains(absent));
    }
}

TEST(MessageFormatting, TablesAndFencesNeedTheBlockViews)
{
    EXPECT_TRUE(MessageFormatting::needsRichRendering("a | b"));
    EXPECT_TRUE(MessageFormatting::needsRichRendering("```\ncode"));
    EXPECT_FALSE(MessageFormatting::needsRichRendering("a|b and **bold** with [a link](https://example.com)"));
}

// A reply is untrusted: past these sizes it is not formatted at all.
TEST(MessageFormatting, TextsPastTheSizeCapsAreOversized)
{
    const qsizetype cap = MessageFormatting::maxFormattedBytes;
    const qsizetype lineCap = MessageFormatting::maxFormattedLineBytes;
    const QString line = QString(1000, QLatin1Char('a')) + QLatin1Char('\n');
    const std::vector<std::tuple<const char*, QString, bool>> cases{
        {"short", "**hi** | there", false},
        {"at the total cap", line.repeated(cap / line.size()) + QString(cap % line.size(), 'b'), false},
        {"one byte over the total cap", line.repeated(cap / line.size()) + QString(cap % line.size() + 1, 'b'), true},
        {"a line at the line cap", QString(lineCap, 'a') + "\nb", false},
        {"a line one byte over it", "b\n" + QString(lineCap + 1, 'a'), true},
        {"a line over it in two-byte characters", QString(lineCap / 2 + 1, QChar(0xE9)), true},
        {"a line over it in three-byte characters", QString(lineCap / 3 + 1, QChar(0x4E2D)), true},
        {"a line at it in four-byte pairs", QString::fromUtf8("\xF0\x9F\x98\x80").repeated(lineCap / 4), false},
    };
    for (const auto& [name, text, oversized] : cases)
        EXPECT_EQ(MessageFormatting::isOversized(text), oversized) << name;
}

TEST(MessageFormatting, TheLineCacheKeepsFinishedLinesWithinItsCap)
{
    const qsizetype before = MessageFormatting::cachedLineBytes();
    MessageFormatting::plainHtml(QString(5000, 'u'), Qt::black, Qt::blue); // one unfinished line
    EXPECT_EQ(MessageFormatting::cachedLineBytes(), before);

    // Lines this long are escaped, not parsed, so filling the cache is cheap.
    QString text;
    for (int line = 0; line < 80; ++line)
        text += QString::number(line) + QString(MessageFormatting::maxInlineLineBytes + 1, 'x') + QLatin1Char('\n');
    MessageFormatting::plainHtml(text, Qt::black, Qt::blue);
    EXPECT_LE(MessageFormatting::cachedLineBytes(), MessageFormatting::lineCacheBytes);
    EXPECT_GT(MessageFormatting::cachedLineBytes(), MessageFormatting::lineCacheBytes / 2);
}

// A streamed piece changes only the last chunk, and the chunks put together give the text back.
TEST(MessageFormatting, ChunksCutAtLineEndsAndStayPutAsTheTextGrows)
{
    const qsizetype size = TextChunks::maxChunk;
    const QString lines = (QString(size / 3, 'l') + '\n').repeated(7);
    const QString unbroken = QString(size * 3 + 5, 'u');
    const QString pairs = QString(size - 1, 'p') + QString::fromUtf16(u"\U0001F600").repeated(3);
    for (const QString& text : {lines, unbroken, pairs, lines + unbroken}) {
        const QStringList chunks = TextChunks::chunksOf(text);
        EXPECT_EQ(chunks.join(QString()), text);
        qsizetype offset = 0;
        for (qsizetype index = 0; index < chunks.size(); offset += chunks[index++].size()) {
            EXPECT_LE(chunks[index].size(), size);
            EXPECT_FALSE(chunks[index].back().isHighSurrogate());
            const bool breakable = index + 1 < chunks.size() && text.mid(offset, size).contains('\n');
            EXPECT_TRUE(!breakable || chunks[index].endsWith('\n')) << index;
        }
        const QStringList shorter = TextChunks::chunksOf(text.chopped(size / 2));
        EXPECT_EQ(shorter.mid(0, shorter.size() - 1), chunks.mid(0, shorter.size() - 1));
    }
}
