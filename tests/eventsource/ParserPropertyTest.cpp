#include "eventsource/EventParser.h"
#include "eventsource/UTF8LineParser.h"

#include "RecordingHandler.h"

#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Everything a run of the two parsers shows: the handler calls, the state that
// outlives connections, and the line still open at the end.
struct Outcome {
    QList<QByteArray> calls;
    QByteArray lastEventId;
    double retry = 0;
    QByteArray pending;

    bool operator==(const Outcome&) const = default;
};

Outcome feed(const QByteArray& stream, const QList<qsizetype>& cuts)
{
    RecordingHandler handler;
    UTF8LineParser lines;
    EventParser events(&handler, "initial", 1.0);
    qsizetype from = 0;
    QList<qsizetype> points = cuts;
    points.append(stream.size());
    for (qsizetype to : points) {
        lines.append(QByteArrayView(stream).sliced(from, to - from),
                     [&](QByteArrayView line) { events.parseLine(line); });
        from = to;
    }
    return {handler.calls(), events.lastEventId(), events.currentRetry(), lines.currentString()};
}

class StreamGenerator {
public:
    explicit StreamGenerator(unsigned seed) : m_random(seed) {}

    QByteArray stream()
    {
        QByteArray out;
        const int lineCount = pick(1, 40);
        for (int i = 0; i < lineCount; ++i) {
            out += line();
            out += lineEnd();
        }
        if (pick(0, 3) == 0)
            out += text(); // an unfinished last line
        return out;
    }

    QList<qsizetype> cuts(qsizetype size)
    {
        QList<qsizetype> points;
        const int count = pick(0, int(qMin<qsizetype>(size, 30)));
        for (int i = 0; i < count; ++i)
            points.append(pick(0, int(size)));
        std::sort(points.begin(), points.end());
        return points;
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_random); }

    QByteArray line()
    {
        static const QList<QByteArray> names = {"data", "data", "data", "id", "event", "retry", "dat", "Data", ""};
        switch (pick(0, 9)) {
        case 0:
        case 1: return {}; // blank line: dispatch
        case 2: return ":" + text();
        case 3: return "retry: " + QByteArray::number(pick(0, 5000));
        case 4: return "data"; // no colon
        default: {
            QByteArray name = names.at(pick(0, int(names.size()) - 1));
            return name + (pick(0, 1) ? ": " : ":") + text();
        }
        }
    }

    QByteArray text()
    {
        static const QList<QByteArray> pieces = {
            "a", "hello", " ", ":", "{\"k\":\"v\"}", "0123456789",
            "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xE4\xB8\xAD\xE6\x96\x87", // é € 😀 中文
            "\xFF", "\x80", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xF0\x9F\x98", "\xF4\x90\x80\x80",
            QByteArray("\0", 1), "\xEF\xBB\xBF", "\r", "\n"};
        QByteArray out;
        const int count = pick(0, 8);
        for (int i = 0; i < count; ++i)
            out += pieces.at(pick(0, int(pieces.size()) - 1));
        return out;
    }

    QByteArray lineEnd()
    {
        static const QList<QByteArray> ends = {"\n", "\r", "\r\n"};
        return ends.at(pick(0, 2));
    }

    std::mt19937 m_random;
};

bool isValidUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

TEST(ParserProperty, AnySplitOfAStreamGivesTheSameHandlerCalls)
{
    StreamGenerator generator(20261206);
    int events = 0;
    for (int round = 0; round < 1500; ++round) {
        const QByteArray stream = generator.stream();
        const Outcome whole = feed(stream, {});
        events += int(whole.calls.size());

        for (int variant = 0; variant < 6; ++variant) {
            const QList<qsizetype> cuts = generator.cuts(stream.size());
            ASSERT_EQ(feed(stream, cuts), whole) << "stream " << stream.toHex(' ').constData();
        }
        QList<qsizetype> everyByte;
        for (qsizetype i = 1; i < stream.size(); ++i)
            everyByte.append(i);
        ASSERT_EQ(feed(stream, everyByte), whole) << "stream " << stream.toHex(' ').constData();

        // Whatever comes in, what goes out is well-formed UTF-8.
        for (const QByteArray& call : whole.calls)
            ASSERT_TRUE(isValidUtf8(call)) << call.toHex(' ').constData();
    }
    // The generator produced real work, not only blank lines.
    EXPECT_GT(events, 3000);
}
