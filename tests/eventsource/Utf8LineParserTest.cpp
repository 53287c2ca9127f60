#include "eventsource/Utf8LineParser.h"

#include <gtest/gtest.h>

namespace {

using Lines = QList<QByteArray>;

Lines feed(Utf8LineParser& parser, const QList<QByteArray>& chunks)
{
    Lines lines;
    for (const QByteArray& chunk : chunks)
        lines += parser.append(chunk);
    return lines;
}

const QByteArray fffd = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

// Other splits of the same bytes are the property test's business.
TEST(Utf8LineParser, SplitsLinesAndReplacesIllFormedBytes)
{
    const struct {
        QList<QByteArray> chunks;
        Lines lines;
    } cases[] = {
        {{"a\r\nb\n"}, {"a", "b"}},
        {{"a\n\n"}, {"a", ""}},
        {{"\r\r"}, {"", ""}},
        {{"\n\r\n\r"}, {"", "", ""}},
        // The LF of a CRLF pair is swallowed even when it starts the next chunk, and an
        // empty chunk in between changes nothing; a CR before anything else swallows nothing.
        {{"data: a\r", "", "\ndata: b\n"}, {"data: a", "data: b"}},
        {{"a\r", "\r", "\n", "\n"}, {"a", "", ""}},
        {{"a\r", "b\n"}, {"a", "b"}},
        // A line built from many chunks comes out whole.
        {{"a\rb", "cd", QByteArray(100, 'x'), "y\n"}, {"a", "bcd" + QByteArray(100, 'x') + "y"}},
        {{"\xE2\x82", "\xAC\n"}, {"\xE2\x82\xAC"}},
        {{"x\xF0", "\x9F", "\x98", "\x80y\n"}, {"x\xF0\x9F\x98\x80y"}},
        // A cut character whose continuation never comes is one replacement.
        {{"\xE2\x82", "A\n"}, {fffd + "A"}},
        {{"\xF0\x9F", "\n"}, {fffd}},
        {{"\xE2\x82\n\n"}, {fffd, ""}},
        {{"a\xFF"
          "b\n"},
         {"a" + fffd + "b"}},
        // The example of the Unicode standard for maximal subparts.
        {{"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64\n"},
         {"a" + fffd + fffd + fffd + "b" + fffd + "c" + fffd + fffd + "d"}},
        {{"\xC0\xAF\n"}, {fffd + fffd}},                       // overlong
        {{"\xED\xA0\x80\n"}, {fffd + fffd + fffd}},            // surrogate
        {{"\xF4\x90\x80\x80\n"}, {fffd + fffd + fffd + fffd}}, // above U+10FFFF
        {{"\xE0\x9F\x80\n"}, {fffd + fffd + fffd}},
        {{"\x80", "ok", "\xFE\n"}, {fffd + "ok" + fffd}},
        // Nothing else is special: a BOM and NUL stay part of the line.
        {{"\xEF\xBB\xBF"
          "data: x\n"},
         {"\xEF\xBB\xBF"
          "data: x"}},
        {{QByteArray("a\0b\n", 4)}, {QByteArray("a\0b", 3)}},
    };
    for (const auto& c : cases) {
        Utf8LineParser parser;
        EXPECT_EQ(feed(parser, c.chunks), c.lines) << c.chunks.join('|').toHex(' ').constData();
    }
}

TEST(Utf8LineParser, ResetDropsThePendingLineCrAndHeldBackBytes)
{
    Utf8LineParser parser;
    EXPECT_TRUE(parser.append("partial").isEmpty());
    parser.reset();
    EXPECT_EQ(parser.append("next\n"), Lines({"next"}));
    // A pending CR is forgotten: the LF opening the next connection is a line end.
    EXPECT_EQ(parser.append("a\r"), Lines({"a"}));
    parser.reset();
    EXPECT_EQ(parser.append("\n"), Lines({""}));
    EXPECT_TRUE(parser.append("\xE2\x82").isEmpty());
    parser.reset();
    EXPECT_EQ(parser.append("\xAC"
                            "x\n"),
              Lines({fffd + "x"}));
}
