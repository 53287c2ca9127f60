#include "RecordingHandler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Everything a run of the two parsers shows: the handler calls, then the state that
// outlives connections, the line still open and whether a limit was hit.
QList<QByteArray> feed(const QByteArray& stream, QList<qsizetype> cuts, qsizetype limit)
{
    QList<QByteArray> chunks;
    qsizetype from = 0;
    for (qsizetype to : cuts << stream.size()) {
        chunks.append(stream.sliced(from, to - from));
        from = to;
    }
    ParsedStream s(limit, "initial");
    return s.feed(chunks) << s.events.lastEventId() << QByteArray::number(s.events.currentRetry())
                          << s.lines.currentString()
                          << QByteArray::number(s.lines.overflowed() * 2 + s.events.overflowed());
}

// Fields, line ends and text, valid and ill-formed, in any order.
QByteArray randomStream(std::mt19937& random)
{
    static const QList<QByteArray> pieces = {"\ndata: ",
                                             "\ndata:",
                                             "\r\ndata: ",
                                             "\rdata:",
                                             "\nid: ",
                                             "\nevent: ",
                                             "\nretry: 1500",
                                             "\nretry: ",
                                             "\n: ",
                                             "\n:",
                                             "\ndata",
                                             "\nDat",
                                             "\n\n",
                                             "\r\r",
                                             "\r\n\r\n",
                                             "\n",
                                             "\r",
                                             "a",
                                             "hello",
                                             " ",
                                             ":",
                                             "{\"k\":\"v\"}",
                                             "0123456789",
                                             "\xC3\xA9",
                                             "\xE2\x82\xAC",
                                             "\xF0\x9F\x98\x80",
                                             "\xE4\xB8\xAD\xE6\x96\x87", // é € 😀 中文
                                             "\xFF",
                                             "\x80",
                                             "\xC0\xAF",
                                             "\xED\xA0\x80",
                                             "\xE2\x82",
                                             "\xF0\x9F\x98",
                                             "\xF4\x90\x80\x80",
                                             QByteArray("\0", 1),
                                             "\xEF\xBB\xBF"};
    QByteArray out;
    for (int i = std::uniform_int_distribution<int>(1, 150)(random); i > 0; --i)
        out += pieces.at(std::uniform_int_distribution<qsizetype>(0, pieces.size() - 1)(random));
    return out;
}

QList<qsizetype> randomCuts(std::mt19937& random, qsizetype size)
{
    QList<qsizetype> cuts;
    for (int i = int(random() % 30); i > 0; --i)
        cuts.append(std::uniform_int_distribution<qsizetype>(0, size)(random));
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

} // namespace

TEST(ParserProperty, AnySplitOfAStreamGivesTheSameOutcome)
{
    std::mt19937 random(20261206);
    qsizetype events = 0;
    int overflows = 0;
    for (int round = 0; round < 1500; ++round) {
        // Every other stream runs against small limits, which some lines and events pass.
        const qsizetype limit = round % 2 ? 40 : kDefaultStreamLimitBytes;
        const QByteArray stream = randomStream(random);
        const QList<QByteArray> whole = feed(stream, {}, limit);
        events += whole.size() - 4;
        overflows += whole.last() != "0";

        QList<qsizetype> everyByte;
        for (qsizetype i = 1; i < stream.size(); ++i)
            everyByte.append(i);
        for (int variant = 0; variant < 7; ++variant) {
            const QList<qsizetype> cuts = variant ? randomCuts(random, stream.size()) : everyByte;
            ASSERT_EQ(feed(stream, cuts, limit), whole) << "stream " << stream.toHex(' ').constData();
        }
        // Whatever comes in, what goes out is well-formed UTF-8.
        for (const QByteArray& out : whole)
            ASSERT_TRUE(out.isValidUtf8()) << out.toHex(' ').constData();
    }
    // Real work, not only blank lines, and the limits hit now and then.
    EXPECT_GT(events, 5000);
    EXPECT_GT(overflows, 100);
    EXPECT_LT(overflows, 600);
}
