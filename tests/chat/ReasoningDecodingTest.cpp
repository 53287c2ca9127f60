#include "chat/OpenAiService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

QString text(const QString& content, const QString& field = "content")
{
    const QJsonObject choice{{"index", 0}, {"delta", QJsonObject{{field, content}}}};
    return QJsonDocument(QJsonObject{{"choices", QJsonArray{choice}}}).toJson(QJsonDocument::Compact);
}

// Thinking, answer and counts once every piece is applied as the conversation does.
std::tuple<QString, QString, std::optional<Usage>> decode(const QStringList& events, bool splitsThinking = true)
{
    ReasoningSplitter splitter;
    QString reasoning, content;
    std::optional<Usage> usage;
    for (const QString& data : events + QStringList{"[DONE]"}) {
        const auto apply = [&](const ParsedDelta& delta) {
            if (delta.contentIsReasoning)
                reasoning += std::exchange(content, QString());
            reasoning += delta.reasoning.value_or(QString());
            content += delta.content.value_or(QString());
            usage = delta.usage ? delta.usage : usage;
        };
        OpenAiService::decodeStreamEvent(
            data, apply, [] {}, true, splitsThinking ? &splitter : nullptr);
    }
    return {reasoning, content, usage};
}

} // namespace

TEST(ReasoningDecoding, ThinkingComesApartFromTheAnswer)
{
    const QString code = "Use:\n```\n<think>x</think>\n```";
    const QList<std::tuple<const char*, QStringList, QString, QString>> cases{
        {"reasoning_content",
         {text("Hm", "reasoning_content"), text("m.", "reasoning_content"), text("4")},
         "Hmm.",
         "4"},
        {"reasoning", {text("Hmm.", "reasoning"), text("4")}, "Hmm.", "4"},
        {"both at once",
         {R"({"choices":[{"index":0,"delta":{"reasoning_content":"Hm","reasoning":"Hm"}}]})"},
         "Hm",
         ""},
        {"missing opening tag", {text("Let me see"), text(".\n</th"), text("ink>\n\nFour.")}, "Let me see.\n", "Four."},
        {"tags in code after the answer", {text("<think>a</think>" + code)}, "a", code},
        {"tags in code of a plain answer",
         {text("Use:\n```\n"), text("</think>\n```")},
         "",
         "Use:\n```\n</think>\n```"},
        {"a tag in inline code", {text("Type `</think>` there.")}, "", "Type `</think>` there."},
        {"empty thinking", {text("<think>\n\n</think>\n\nHi")}, "", "Hi"},
        {"an unfinished tag at the end", {text("<thi")}, "", "<thi"},
    };
    for (const auto& [name, events, reasoning, content] : cases)
        EXPECT_EQ(decode(events), std::tuple(reasoning, content, std::nullopt)) << name;
    // Built-in models never think inline; spaces wait for a tag, but not without end.
    EXPECT_EQ(std::get<1>(decode({text("<think>a</think>b")}, false)), "<think>a</think>b");
    EXPECT_EQ(ReasoningSplitter().feed(QString(5000, ' ')).answer.size(), 5000);
    // The counts come in a chunk without choices; ones that cannot be are dropped.
    EXPECT_EQ(std::get<2>(decode({R"({"choices":[],"usage":{"prompt_tokens":-1,"completion_tokens":5}})"})),
              (Usage{std::nullopt, 5, std::nullopt}));
}

TEST(ReasoningDecoding, InlineTagsCutAtEveryPosition)
{
    const QString reply = "  <think>\nWhy 4?</think>\n\n2+2 is 4.";
    for (qsizetype first = 0; first <= reply.size(); ++first) {
        for (qsizetype second = first; second <= reply.size(); ++second) {
            const QStringList events{text(reply.left(first)), text(reply.mid(first, second - first)),
                                     text(reply.mid(second))};
            ASSERT_EQ(decode(events), std::tuple(QString("Why 4?"), QString("2+2 is 4."), std::nullopt))
                << first << ' ' << second;
        }
    }
}
