#include "eventsource/UTF8LineParser.h"

#include <gtest/gtest.h>

namespace {

using Lines = QList<QByteArray>;

Lines feed(UTF8LineParser& parser, const QList<QByteArray>& chunks)
{
    Lines lines;
    for (const QByteArray& chunk : chunks)
        lines += parser.append(chunk);
    return lines;
}

Lines feed(const QList<QByteArray>& chunks)
{
    UTF8LineParser parser;
    return feed(parser, chunks);
}

const QByteArray R = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

TEST(UTF8LineParser, LineEndsIncludingCrLfSplitAcrossChunks)
{
    EXPECT_EQ(feed({"a\r\nb\n"}), Lines({"a", "b"}));
    EXPECT_EQ(feed({"a\n\n"}), Lines({"a", ""}));
    EXPECT_EQ(feed({"\r\r"}), Lines({"", ""}));
    EXPECT_EQ(feed({"\n\r\n\r"}), Lines({"", "", ""}));
    // The LF of a CRLF pair is swallowed even when it starts the next chunk, and an
    // empty chunk in between changes nothing.
    EXPECT_EQ(feed({"data: a\r", "", "\ndata: b\n"}), Lines({"data: a", "data: b"}));
    EXPECT_EQ(feed({"a\r", "\r", "\n", "\n"}), Lines({"a", "", ""}));
    // A CR followed by another character does not swallow a later LF.
    EXPECT_EQ(feed({"a\r", "b\n"}), Lines({"a", "b"}));

    UTF8LineParser parser;
    EXPECT_EQ(parser.append("a\rb"), Lines({"a"}));
    EXPECT_EQ(parser.currentString(), "b");
    // A long line built from many chunks comes out whole.
    EXPECT_EQ(feed(parser, {"cd", QByteArray(100, 'x'), "y\n"}), Lines({"bcd" + QByteArray(100, 'x') + "y"}));
}

TEST(UTF8LineParser, MultiByteCharactersSplitAcrossChunksAreCarriedOver)
{
    EXPECT_EQ(feed({"\xE2\x82", "\xAC\n"}), Lines({"\xE2\x82\xAC"}));
    // An emoji cut into four one-byte chunks.
    EXPECT_EQ(feed({"x\xF0", "\x9F", "\x98", "\x80y\n"}), Lines({"x\xF0\x9F\x98\x80y"}));
    // A cut character whose continuation never comes is one replacement.
    EXPECT_EQ(feed({"\xE2\x82", "A\n"}), Lines({R + "A"}));
    EXPECT_EQ(feed({"\xF0\x9F", "\n"}), Lines({R}));
    // Held bytes completed by a chunk that also ends lines.
    EXPECT_EQ(feed({"\xC3", "\xA9\n\xC3", "\xA9\r\n"}), Lines({"\xC3\xA9", "\xC3\xA9"}));
}

TEST(UTF8LineParser, IllFormedBytesBecomeOneReplacementPerMaximalSubpart)
{
    EXPECT_EQ(feed({"a\xFF" "b\n"}), Lines({"a" + R + "b"}));
    // The example of the Unicode standard for maximal subparts.
    const QByteArray mixed = "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64\n";
    const QByteArray expected = "a" + R + R + R + "b" + R + "c" + R + R + "d";
    EXPECT_EQ(feed({mixed}), Lines({expected}));
    // The same at every single split point and byte by byte.
    for (qsizetype cut = 0; cut <= mixed.size(); ++cut)
        EXPECT_EQ(feed({mixed.left(cut), mixed.mid(cut)}), Lines({expected})) << "cut at " << cut;
    QList<QByteArray> bytes;
    for (char c : mixed)
        bytes.append(QByteArray(1, c));
    EXPECT_EQ(feed(bytes), Lines({expected}));

    EXPECT_EQ(feed({"\xC0\xAF\n"}), Lines({R + R}));                 // overlong
    EXPECT_EQ(feed({"\xED\xA0\x80\n"}), Lines({R + R + R}));         // surrogate
    EXPECT_EQ(feed({"\xF4\x90\x80\x80\n"}), Lines({R + R + R + R})); // above U+10FFFF
    EXPECT_EQ(feed({"\xE0\x9F\x80\n"}), Lines({R + R + R}));
    // A cut sequence followed by a line end inside the same chunk.
    EXPECT_EQ(feed({"\xE2\x82\n\n"}), Lines({R, ""}));
    // Replacements and valid text in a line that spans chunks.
    EXPECT_EQ(feed({"\x80", "ok", "\xFE\n"}), Lines({R + "ok" + R}));
}

TEST(UTF8LineParser, KeepsBomAndNulAndResetDropsPendingState)
{
    EXPECT_EQ(feed({"\xEF\xBB\xBF" "data: x\n"}), Lines({"\xEF\xBB\xBF" "data: x"}));
    EXPECT_EQ(feed({QByteArray("a\0b\n", 4)}), Lines({QByteArray("a\0b", 3)}));

    UTF8LineParser parser;
    EXPECT_TRUE(parser.append("partial").isEmpty());
    parser.reset();
    EXPECT_EQ(parser.append("next\n"), Lines({"next"}));
    // A pending CR is forgotten: the LF opening the next connection is a line end.
    EXPECT_EQ(parser.append("a\r"), Lines({"a"}));
    parser.reset();
    EXPECT_EQ(parser.append("\n"), Lines({""}));
    // Held-back bytes are forgotten too.
    EXPECT_TRUE(parser.append("\xE2\x82").isEmpty());
    parser.reset();
    EXPECT_EQ(parser.append("\xAC" "x\n"), Lines({R + "x"}));
}
