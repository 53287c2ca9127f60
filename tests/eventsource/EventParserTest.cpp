#include "RecordingHandler.h"

#include <gtest/gtest.h>

TEST(EventParser, FieldsCommentsAndDispatch)
{
    const struct {
        QList<QByteArray> chunks;
        Calls calls;
        QByteArray state = {}; // when given: "lastEventId retry"
    } cases[] = {
        {{"data: a\r", "\ndata: b\n\n"}, {"event message|a\nb|"}},
        {{"data:x\n\ndata: x\n\n"}, {"event message|x|", "event message|x|"}},
        {{"data:  x\n\n"}, {"event message| x|"}},
        // "data" without a colon and "data:" both add an empty value.
        {{"data\n\n"}, {"event message||"}},
        {{"data:\ndata:\n\n"}, {"event message|\n|"}},
        // Only the first colon splits; a blank line with nothing before it dispatches nothing.
        {{"\n\ndata: {\"a\":\"b:c\"}\n\n"}, {"event message|{\"a\":\"b:c\"}|"}},
        // Field names are case-sensitive; unknown ones are ignored, and so is a first
        // field behind a byte order mark.
        {{"Data: x\ndatas: y\nfoo\n\n"}, {}},
        {{"\xEF\xBB\xBF"
          "data: x\n\ndata: y\n\n"},
         {"event message|y|"}},
        // An event type applies to one event only, even one without data; the last one wins.
        {{"event: update\ndata: 1\n\ndata: 2\n\n"}, {"event update|1|", "event message|2|"}},
        {{"event: ping\n\ndata: 3\n\n"}, {"event message|3|"}},
        {{"event: a\nevent: b\ndata\n\n"}, {"event b||"}},
        {{": keep-alive\n\n"}, {"comment  keep-alive"}},
        {{":\n"}, {"comment "}},
        // An id moves on a blank line, with or without an event; one with NUL is ignored,
        // an empty one clears it.
        {{"id: 7\n\n"}, {}, "7 1"},
        {{"id: 7\n\ndata: z\n\n", QByteArray("id: a\0b\n\n", 9)}, {"event message|z|7"}, "7 1"},
        {{"data: y\nid: 8\n\n"}, {"event message|y|8"}},
        {{"id: 7\n\nid\n\ndata: w\n\n"}, {"event message|w|"}, " 1"},
        // Retry takes plain milliseconds only.
        {{"retry: 2500\n\n"}, {}, " 2.5"},
        {{"retry: 0\n"}, {}, " 0"},
        {{"retry: 9223372036854775807\n"}, {}, " 9.22337e+15"},
        {{"retry: 2.5\nretry: -1\nretry: 1e3\nretry:\nretry\nretry: 99999999999999999999\nretry:  5\nretry: 5 \n"},
         {},
         " 1"},
    };
    for (const auto& c : cases) {
        ParsedStream s;
        EXPECT_EQ(s.feed(c.chunks), c.calls) << c.chunks.join('|').constData();
        const QByteArray state = s.events.lastEventId() + ' ' + QByteArray::number(s.events.currentRetry());
        EXPECT_EQ(c.state.isEmpty() ? c.state : state, c.state) << c.chunks.join('|').constData();
    }
}

TEST(EventParser, ResetDropsPendingLineAndEventButKeepsIdAndRetry)
{
    ParsedStream s;
    s.feed({"id: 3\nretry: 100\n\ndata: lost\nevent: gone\n", "data: half"});
    s.reset();
    EXPECT_EQ(s.feed({"\n"}), Calls());
    EXPECT_EQ(s.feed({"data: kept\n\n"}), Calls({"event message|kept|3"}));
    EXPECT_DOUBLE_EQ(s.events.currentRetry(), 0.1);
    // A pending id that never saw its blank line is dropped.
    s.feed({"id: 4\n"});
    s.reset();
    EXPECT_EQ(s.events.lastEventId(), "3");
}

// Up to the limit lines and event data pass; past it the parser that saw it drops what it
// holds and reads nothing more, not even the rest of the chunk, until reset.
TEST(StreamLimits, LinesAndEventDataPastTheLimitStopTheParsersUntilReset)
{
    const struct {
        QList<QByteArray> chunks;
        Calls calls;
        bool lineOverflow = false;
        bool dataOverflow = false;
    } cases[] = {
        {{"data: 0123456789\n\n", "data: 01", "23456789\r\n\r\n"},
         {"event message|0123456789|", "event message|0123456789|"}},
        {{"data: 01234567\ndata: 0123456\n\n"}, {"event message|01234567\n0123456|"}},
        {{"data: a\n\ndata: 01234567890\n\ndata: lost\n\n"}, {"event message|a|"}, true},
        {{"data: 0123", "4567890\n\n"}, {}, true},
        {{"data: 0123", "4567", "890"}, {}, true},     // never ended
        {{"data: 012345678\xC3", "\xA9\n"}, {}, true}, // a character completed past it
        {{"data: 01234567\ndata: 01234567\n\ndata: lost\n\n: lost\n"}, {}, false, true},
    };
    for (const auto& c : cases) {
        ParsedStream s(16);
        EXPECT_EQ(s.feed(c.chunks), c.calls) << c.chunks.join('|').constData();
        EXPECT_EQ(s.lines.overflowed(), c.lineOverflow) << c.chunks.join('|').constData();
        EXPECT_EQ(s.events.overflowed(), c.dataOverflow) << c.chunks.join('|').constData();
        EXPECT_EQ(s.feed({"data: x\n\n"}).size() == c.calls.size(), c.lineOverflow || c.dataOverflow);
        s.reset();
        EXPECT_EQ(s.feed({"data: y\n\n"}).last(), "event message|y|");
    }
}

TEST(StreamLimits, DefaultLimitsAreSixteenMebibytes)
{
    const QByteArray half(8 * 1024 * 1024, 'x');
    ParsedStream s;
    // Event data of exactly 16 MiB passes, one byte more does not.
    s.feed({"data:" + half + "\ndata:" + half.chopped(1) + "\n"});
    EXPECT_FALSE(s.events.overflowed());
    s.feed({"data:\n"});
    EXPECT_TRUE(s.events.overflowed());
    s.reset();
    // A line of 16 MiB and one byte fails too, ended or not.
    s.feed({"data:" + half, half.chopped(4)});
    EXPECT_TRUE(s.lines.overflowed());
}
