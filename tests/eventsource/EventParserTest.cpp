#include "eventsource/EventParser.h"
#include "eventsource/UTF8LineParser.h"

#include "RecordingHandler.h"

#include <gtest/gtest.h>

namespace {

using Calls = QList<QByteArray>;

// Feeds chunks through both parsers, as a connection does.
struct Stream {
    RecordingHandler handler;
    UTF8LineParser lines;
    EventParser events{&handler, QByteArray(), 1.0};

    Calls feed(const QList<QByteArray>& chunks)
    {
        for (const QByteArray& chunk : chunks)
            lines.append(chunk, [this](QByteArrayView line) { events.parseLine(line); });
        return handler.calls();
    }
    void reset()
    {
        lines.reset();
        events.reset();
    }
};

Calls run(const QList<QByteArray>& chunks)
{
    Stream s;
    return s.feed(chunks);
}

} // namespace

TEST(EventParser, DataLinesJoinAndSpaceHandling)
{
    EXPECT_EQ(run({"data: a\r", "\ndata: b\n\n"}), Calls({"event message|a\nb|"}));
    EXPECT_EQ(run({"data:x\n\ndata: x\n\n"}), Calls({"event message|x|", "event message|x|"}));
    EXPECT_EQ(run({"data:  x\n\n"}), Calls({"event message| x|"}));
    // "data" without a colon and "data:" both add an empty value.
    EXPECT_EQ(run({"data\n\n"}), Calls({"event message||"}));
    EXPECT_EQ(run({"data:\ndata:\n\n"}), Calls({"event message|\n|"}));
    // Only the first colon splits; a blank line with nothing before it dispatches nothing.
    EXPECT_EQ(run({"\n\ndata: {\"a\":\"b:c\"}\n\n"}), Calls({"event message|{\"a\":\"b:c\"}|"}));
    // Field names are case-sensitive; unknown ones are ignored.
    EXPECT_EQ(run({"Data: x\ndatas: y\nfoo\n\n"}), Calls());
}

TEST(EventParser, EventTypeAppliesToOneEventOnly)
{
    EXPECT_EQ(run({"event: update\ndata: 1\n\ndata: 2\n\n"}),
              Calls({"event update|1|", "event message|2|"}));
    // A type without data is dropped at the blank line too.
    EXPECT_EQ(run({"event: ping\n\ndata: 3\n\n"}), Calls({"event message|3|"}));
    // The later event line wins.
    EXPECT_EQ(run({"event: a\nevent: b\ndata\n\n"}), Calls({"event b||"}));
}

TEST(EventParser, IdMovesOnBlankLineAndIgnoresNul)
{
    Stream s;
    EXPECT_TRUE(s.feed({"id: 7\n\n"}).isEmpty());
    EXPECT_EQ(s.events.lastEventId(), "7");
    EXPECT_EQ(s.feed({"data: z\n\n"}), Calls({"event message|z|7"}));
    s.feed({QByteArray("id: a\0b\n\n", 9)});
    EXPECT_EQ(s.events.lastEventId(), "7");
    // An id given inside an event is the id that event carries.
    EXPECT_EQ(s.feed({"data: y\nid: 8\n\n"}).last(), "event message|y|8");
    s.feed({"id\n\n"});
    EXPECT_EQ(s.events.lastEventId(), "");
    EXPECT_EQ(s.feed({"data: w\n\n"}).last(), "event message|w|");
}

TEST(EventParser, RetryAcceptsOnlyPlainMilliseconds)
{
    Stream s;
    s.feed({"retry: 2500\n"});
    EXPECT_DOUBLE_EQ(s.events.currentRetry(), 2.5);
    for (const QByteArray line : {"retry: 2.5\n", "retry: -1\n", "retry: 1e3\n", "retry:\n", "retry\n",
                                  "retry: 99999999999999999999\n", "retry:  5\n", "retry: 5 \n"}) {
        s.feed({line});
        EXPECT_DOUBLE_EQ(s.events.currentRetry(), 2.5) << line.constData();
    }
    s.feed({"retry: 9223372036854775807\n"});
    EXPECT_DOUBLE_EQ(s.events.currentRetry(), 9223372036854775807.0 * 0.001);
    s.feed({"retry: 0\n"});
    EXPECT_DOUBLE_EQ(s.events.currentRetry(), 0.0);
    // No event comes of it.
    EXPECT_TRUE(s.feed({"\n"}).isEmpty());
}

TEST(EventParser, CommentsAndByteOrderMark)
{
    EXPECT_EQ(run({": keep-alive\n\n"}), Calls({"comment  keep-alive"}));
    EXPECT_EQ(run({":\n"}), Calls({"comment "}));
    // A BOM is not removed, so the first field is unknown.
    EXPECT_EQ(run({"\xEF\xBB\xBF" "data: x\n\ndata: y\n\n"}), Calls({"event message|y|"}));
}

TEST(EventParser, ResetDropsPendingLineAndEventButKeepsIdAndRetry)
{
    Stream s{};
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

TEST(EventParser, StartsFromConfiguredIdAndRetry)
{
    RecordingHandler handler;
    EventParser parser(&handler, "start", 4.0);
    parser.parseLine("data: a");
    parser.parseLine("");
    EXPECT_EQ(handler.calls(), Calls({"event message|a|start"}));
    EXPECT_DOUBLE_EQ(parser.currentRetry(), 4.0);
}
