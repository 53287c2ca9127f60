#include "extensions/ArgumentPreview.h"
#include "extensions/ExtensionRegistry.h"
#include "store/StoreContext.h"
#include "store/StoreOperations.h"

#include <gtest/gtest.h>

namespace {

QString previewOf(const QString& apiName, const std::optional<QString>& arguments)
{
    StoreContext context(SqliteStore::openInMemory());
    const ConversationPtr conversation = context.insertConversation();
    const MessagePtr message = makeMessage(context, "assistant", QString(), conversation, apiName, true);
    message->setFunctionArguments(arguments);
    return functionPreview(*message);
}

} // namespace

TEST(FunctionPreview, PrettyArgumentsLoseTheirWrappingAndKeepEscapes)
{
    EXPECT_EQ(previewOf("cliExecution", QString("{\n  \"command\": \"ls -la\"\n}")), "Executing\n```\nls -la\n````");
    EXPECT_EQ(previewOf("jsExecution", QString("{\n  \"script\": \"let a = 1;\\na + \\\"x\\\"\"\n}")),
              "Executing\n```\nlet a = 1;\\na + \\\"x\\\"\n````");
    EXPECT_EQ(previewOf("wolframAlphaRequest", QString("{\n  \"prompt\": \"2 + 2\"\n}")),
              "Requesting from Wolfram Alpha\n```\n2 + 2\n````");
    // The closing quote and brace go only when they end the text.
    EXPECT_EQ(wrappedArgumentPreview("H", "command", QString("{\n  \"command\": \"ls\"\n}\n")), "Hls\"\n}\n\n````");
}

TEST(FunctionPreview, CompactArgumentsShowTheDecodedValueNotAnEmptyBody)
{
    EXPECT_EQ(previewOf("cliExecution", QString(R"({"command":"rm -rf ~/tmp"})")),
              "Executing\n```\nrm -rf ~/tmp\n````");
    EXPECT_EQ(previewOf("jsExecution", QString(R"({"script": "let a = 1;\na * 2"})")),
              "Executing\n```\nlet a = 1;\na * 2\n````");
    // Another key, a non-text value or no JSON at all: the raw text, never nothing.
    EXPECT_EQ(wrappedArgumentPreview("H", "command", QString(R"({"cmd":"ls"})")), "H{\"cmd\":\"ls\"}\n````");
    EXPECT_EQ(wrappedArgumentPreview("H", "command", QString(R"({"command":5})")), "H{\"command\":5}\n````");
    EXPECT_EQ(wrappedArgumentPreview("H", "command", QString("ls; {")), "Hls; {\n````");
    EXPECT_EQ(wrappedArgumentPreview("H", "command", std::nullopt), "H\n````");
}

TEST(FunctionPreview, MemoryPreviewsFenceTheRawArguments)
{
    const QString raw = "{\n  \"memory\": \"likes tea\"\n}";
    EXPECT_EQ(previewOf("upsertMemory", raw), "Saving in memory\n```\n" + raw + "\n````");
    EXPECT_EQ(previewOf("getMemory", std::nullopt), "Getting memory\n```\n\n````");
    EXPECT_EQ(previewOf("deleteMemory", QString(R"({"ids":"a, b"})")),
              "Removing memories\n```\n{\"ids\":\"a, b\"}\n````");
    EXPECT_EQ(previewOf("resetMemories", QString("{}")), "Removing all memories");
}

TEST(FunctionPreview, UnknownOrMissingNameGivesEmptyText)
{
    EXPECT_EQ(previewOf("noSuchFunction", QString("{}")), "");
    StoreContext context(SqliteStore::openInMemory());
    const MessagePtr message = makeMessage(context, "assistant", QString(), context.insertConversation(),
                                           std::nullopt, true);
    EXPECT_EQ(functionPreview(*message), "");
}
