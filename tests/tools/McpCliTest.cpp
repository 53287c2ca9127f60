#include "CliTestSupport.h"

#include "extensions/ToolServerConfig.h"

#include <QFile>

namespace {

// The tool servers of these runs, in the settings folder of the test program.
class McpCliTest : public CliChatTest {
protected:
    void TearDown() override
    {
        QFile::remove(ToolServerConfig::defaultPath());
        CliChatTest::TearDown();
    }
};

} // namespace

TEST_F(McpCliTest, ServersAreAddedListedSwitchedAndRemoved)
{
    ASSERT_EQ(run({"mcp", "add", "srv", "--", VORBEL_MCP_TEST_SERVER, "--fillers", "1"}), 0) << err.toStdString();
    ASSERT_EQ(run({"mcp", "add", "web", "--url", "http://127.0.0.1:1/mcp", "--header", "Authorization: Bearer s3cr3t"}),
              0);
    ASSERT_EQ(run({"mcp", "disable", "web"}), 0);
    ASSERT_EQ(run({"mcp", "list"}), 0) << err.toStdString();
    EXPECT_EQ(outLines(),
              (QStringList{"srv\tstdio\tenabled\tConnected · 6 tools\t6", "web\thttp\tdisabled\tDisabled\t0"}));
    ASSERT_EQ(run({"mcp", "tools", "srv"}), 0);
    EXPECT_EQ(outLines().first(), "srv__echo\tTest tool echo");
    EXPECT_EQ(outLines().last(), "srv__filler1\tTest tool filler1");

    const struct {
        QStringList arguments;
        int code;
        const char* error;
    } refused[] = {
        {{"mcp", "add", "srv", "--", "x"}, 1, "vorbel-cli: A server named \"srv\" exists already"},
        {{"mcp", "add", "x", "--header", "Authorization: Bearer s3cr3t"},
         2,
         "vorbel-cli: mcp add needs -- COMMAND or --url URL (see vorbel-cli --help)"},
        {{"mcp", "add", "x", "--url", "u", "--header", "s3cr3t"},
         2,
         "vorbel-cli: unexpected argument \"--header\" (see vorbel-cli --help)"},
        {{"mcp", "tools", "web"}, 2, "vorbel-cli: \"web\" is disabled; enable it first"},
        {{"mcp", "remove", "nothing"}, 1, "vorbel-cli: No server is named \"nothing\""},
        {{"mcp", "start", "srv"}, 2, "vorbel-cli: unknown mcp command \"start\" (see vorbel-cli --help)"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(run(r.arguments), r.code) << r.arguments.join(' ').toStdString();
        EXPECT_EQ(err, QString(r.error) + "\n");
    }
    ASSERT_EQ(run({"mcp", "remove", "web"}), 0);
    ASSERT_EQ(run({"mcp", "list"}), 0);
    EXPECT_EQ(outLines().size(), 1);
}

// Each request form offers the tool with the server's schema; the call is
// shown and asked about, and its result goes back to the model.
TEST_F(McpCliTest, AToolIsOfferedAskedAboutAndItsResultSentBack)
{
    ASSERT_EQ(run({"mcp", "add", "srv", "--", VORBEL_MCP_TEST_SERVER}), 0);
    for (const bool toolsForm : {false, true}) {
        Settings::instance().setText(Settings::modelKey, toolsForm ? "local-model" : "gpt-3.5-turbo");
        const int first = server.requestCount();
        server.enqueue(toolsForm ? Sse::toolCalls({{"srv__echo", {R"({"text":"hi"})"}}})
                                 : Sse::functionCall("srv__echo", {R"({"text":"hi"})"}));
        server.enqueue(Sse::reply({"Done."}));
        answers = {"y"};
        ASSERT_EQ(run({"chat", "--conversation", conversationId(), "echo"}), 0) << err.toStdString();
        EXPECT_TRUE(err.contains("Server: srv\nTool: echo\nArguments:\n{\n    \"text\": \"hi\"\n}"))
            << err.toStdString();
        EXPECT_TRUE(err.contains("Run function? [y/N]"));

        const QJsonObject offered = QJsonDocument::fromJson(server.requests().at(first).body).object();
        QJsonObject echo;
        for (const auto& entry : offered[QString(toolsForm ? "tools" : "functions")].toArray()) {
            const QJsonObject function = toolsForm ? entry.toObject()["function"].toObject() : entry.toObject();
            if (function["name"] == "srv__echo")
                echo = function;
        }
        EXPECT_EQ(echo["parameters"].toObject()["properties"].toObject()["text"].toObject()["type"], "string")
            << toolsForm;
        EXPECT_EQ(Sse::sentMessages(server.requests().at(first + 1)).last().toObject()["content"], R"({"text":"hi"})")
            << toolsForm;
    }
}
