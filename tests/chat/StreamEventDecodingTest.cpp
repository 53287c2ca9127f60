#include "chat/OpenAiService.h"

#include <gtest/gtest.h>

namespace {

struct Recorded {
    QList<ParsedDelta> deltas;
    int stops = 0;
};

Recorded decode(const QList<QString>& events)
{
    Recorded recorded;
    for (const QString& data : events) {
        OpenAiService::decodeStreamEvent(
            data, [&](const ParsedDelta& delta) { recorded.deltas.append(delta); }, [&] { ++recorded.stops; });
    }
    return recorded;
}

QString chunk(const QString& delta, const QString& finish = "null")
{
    return QStringLiteral(R"({"id":"c1","object":"chat.completion.chunk","choices":[{"index":0,"delta":%1,"finish_reason":%2}]})")
        .arg(delta, finish);
}

} // namespace

TEST(DecodeStreamEvent, ContentAndFunctionCallPiecesPassOnWithoutTheRole)
{
    const Recorded recorded = decode({
        chunk(R"({"role":"assistant","content":"Hel"})"),
        chunk(R"({"content":"lo"})"),
        chunk(R"({"role":"assistant","content":null,"function_call":{"name":"jsExecution","arguments":""}})"),
        chunk(R"({"function_call":{"arguments":"{\"co"}})"),
        chunk(R"({"function_call":{"arguments":"de\":1}"}})"),
        chunk(R"({})"),
    });
    EXPECT_EQ(recorded.stops, 0);
    const QList<ParsedDelta> expected{
        {QString("Hel"), std::nullopt, std::nullopt},
        {QString("lo"), std::nullopt, std::nullopt},
        {std::nullopt, QString("jsExecution"), QString("")},
        {std::nullopt, std::nullopt, QString("{\"co")},
        {std::nullopt, std::nullopt, QString("de\":1}")},
        {std::nullopt, std::nullopt, std::nullopt},
    };
    EXPECT_EQ(recorded.deltas, expected);
}

TEST(DecodeStreamEvent, FinishReasonAndEmptyChoicesPassNothingAndDoNotEnd)
{
    const Recorded recorded = decode({
        R"({"choices":[]})",
        chunk(R"({"content":"ignored"})", R"("stop")"),
        chunk(R"({"function_call":{"arguments":"}"}})", R"("function_call")"),
        // Only the first choice is read.
        R"({"choices":[{"index":0,"delta":{},"finish_reason":"length"},{"index":1,"delta":{"content":"x"}}]})",
    });
    EXPECT_TRUE(recorded.deltas.isEmpty());
    EXPECT_EQ(recorded.stops, 0);
}

TEST(DecodeStreamEvent, DoneAndUndecodableDataEndTheReplyAndPrintTwoLines)
{
    EXPECT_EQ(decode({"[DONE]"}).stops, 1);

    const QList<QString> undecodable{
        " [DONE]",
        "[DONE] ",
        "not json",
        R"({"object":"chat.completion.chunk"})",               // no choices
        R"({"choices":[{"delta":{"content":"x"}}]})",           // no index
        R"({"choices":[{"index":0}]})",                         // no delta
        R"({"choices":[{"index":0,"delta":{"content":5}}]})",   // wrong type
        R"({"choices":[{"index":0,"delta":{"function_call":"f"}}]})",
        "",
    };
    for (const QString& data : undecodable) {
        testing::internal::CaptureStdout();
        const Recorded recorded = decode({data});
        const QString printed = QString::fromStdString(testing::internal::GetCapturedStdout());
        EXPECT_EQ(recorded.stops, 1) << data.toStdString();
        EXPECT_TRUE(recorded.deltas.isEmpty());
        const QStringList lines = printed.split('\n');
        ASSERT_EQ(lines.size(), 3) << printed.toStdString(); // two lines and the final newline
        EXPECT_EQ(lines[0], "Unable to decode json");
        EXPECT_FALSE(lines[1].isEmpty());
    }
}

// 401 and 404 are checked with their exact texts on the wire (ChatStreamTest); every
// other status shares the generic text.
TEST(ErrorTexts, OtherStatusesGiveTheGenericText)
{
    for (int status : {400, 403, 429, 500, 503})
        EXPECT_EQ(OpenAiService::errorTextForStatus(status),
                  "I'm sorry, but some sort of error happened. Please try re-submitting your message.")
            << status;
}
