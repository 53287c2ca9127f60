#include "chat/OpenAiService.h"

#include <gtest/gtest.h>

namespace {

struct Decoded {
    QList<ParsedDelta> deltas;
    int stops = 0;
};

Decoded decode(const QList<QString>& events, bool toolCalls = false)
{
    Decoded decoded;
    for (const QString& data : events) {
        OpenAiService::decodeStreamEvent(
            data, [&](const ParsedDelta& delta) { decoded.deltas.append(delta); }, [&] { ++decoded.stops; }, toolCalls);
    }
    return decoded;
}

QString chunk(const QString& delta, const QString& finish = "null")
{
    return QStringLiteral(
               R"({"id":"c1","object":"chat.completion.chunk","choices":[{"index":0,"delta":%1,"finish_reason":%2}]})")
        .arg(delta, finish);
}

} // namespace

TEST(DecodeStreamEvent, PiecesPassOnWithoutTheRoleAndFinishedOrEmptyChunksPassNothing)
{
    const Decoded decoded = decode({
        chunk(R"({"role":"assistant","content":"Hel"})"),
        chunk(R"({"role":"assistant","content":null,"function_call":{"name":"jsExecution","arguments":""}})"),
        chunk(R"({"function_call":{"arguments":"{\"co"}})"),
        chunk("{}"),
        R"({"choices":[]})",
        chunk(R"({"content":"ignored"})", R"("stop")"),
        chunk(R"({"function_call":{"arguments":"}"}})", R"("function_call")"),
        // Only the first choice is read.
        R"({"choices":[{"index":0,"delta":{},"finish_reason":"length"},{"index":1,"delta":{"content":"x"}}]})",
    });
    EXPECT_EQ(decoded.stops, 0);
    const QList<ParsedDelta> expected{
        {QString("Hel"), std::nullopt, std::nullopt},
        {std::nullopt, QString("jsExecution"), QString("")},
        {std::nullopt, std::nullopt, QString("{\"co")},
        {std::nullopt, std::nullopt, std::nullopt},
    };
    EXPECT_EQ(decoded.deltas, expected);
}

TEST(DecodeStreamEvent, DoneAndUndecodableDataEndTheReplyAndPrintTwoLines)
{
    EXPECT_EQ(decode({"[DONE]"}).stops, 1);

    const QList<QString> undecodable{
        " [DONE]",
        "not json",
        R"({"object":"chat.completion.chunk"})",              // no choices
        R"({"choices":[{"delta":{"content":"x"}}]})",         // no index
        R"({"choices":[{"index":0}]})",                       // no delta
        R"({"choices":[{"index":0,"delta":{"content":5}}]})", // wrong type
        R"({"choices":[{"index":0,"delta":{"function_call":"f"}}]})",
        R"({"choices":[{"index":0,"delta":{"tool_calls":[{"index":"0"}]}}]})",
    };
    for (const QString& data : undecodable) {
        testing::internal::CaptureStdout();
        const Decoded decoded = decode({data});
        const QStringList lines = QString::fromStdString(testing::internal::GetCapturedStdout()).split('\n');
        EXPECT_EQ(decoded.stops, 1) << data.toStdString();
        EXPECT_TRUE(decoded.deltas.isEmpty());
        ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString(); // two lines and the final newline
        EXPECT_EQ(lines[0], "Unable to decode json");
        EXPECT_FALSE(lines[1].isEmpty());
    }
}

TEST(DecodeStreamEvent, ToolCallsBecomeFunctionPiecesNumberedByTheirCall)
{
    const QList<QString> events{
        chunk(R"({"role":"assistant","content":null,"tool_calls":[{"index":0,"id":"call_a","type":"function",
                  "function":{"name":"jsExecution","arguments":""}}]})"),
        chunk(R"({"tool_calls":[{"index":0,"function":{"arguments":"{\"s"}}]})"),
        // Text and further calls in one chunk: the text stays the reply's own.
        chunk(R"({"content":"x","tool_calls":[{"index":1,"function":{"name":"a","arguments":"{}"}},
                  {"index":2,"function":{"name":"b"}}]})"),
        chunk(R"({"tool_calls":null})"),
        // A lone call without an index is the first; an index beyond any reply is dropped.
        chunk(R"({"tool_calls":[{"function":{"name":"solo"}},{"index":99,"function":{"name":"far"}}]})"),
        // Some servers put the last pieces into the finishing chunk.
        chunk(R"({"tool_calls":[{"index":1,"function":{"arguments":"!"}}]})", R"("tool_calls")"),
        chunk("{}", R"("stop")"),
    };
    const QList<ParsedDelta> expected{
        {std::nullopt, QString("jsExecution"), QString(""), 0}, {std::nullopt, std::nullopt, QString("{\"s"), 0},
        {QString("x"), std::nullopt, std::nullopt, 0},          {std::nullopt, QString("a"), QString("{}"), 1},
        {std::nullopt, QString("b"), std::nullopt, 2},          {},
        {std::nullopt, QString("solo"), std::nullopt, 0},       {std::nullopt, std::nullopt, QString("!"), 1},
    };
    EXPECT_EQ(decode(events, true).deltas, expected);
    // The older form keeps ignoring what a finishing chunk carries.
    EXPECT_EQ(decode(events, false).deltas.size(), expected.size() - 1);
}
