#include "ExtensionTestSupport.h"

#include "extensions/ExtensionRegistry.h"
#include "extensions/FunctionStop.h"
#include "extensions/LoginEnvironment.h"
#include "extensions/ToolServerManager.h"
#include "support/McpTestServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <thread>

namespace {

constexpr int waitMs = 20000;

QJsonObject stdioServer(const QStringList& args = {}, const QString& command = VORBEL_MCP_TEST_SERVER)
{
    return {{"command", command}, {"args", QJsonArray::fromStringList(args)}};
}

class ToolServerTest : public testing::Test {
protected:
    void SetUp() override { manager().setPathForTesting(dir.filePath("mcp.json")); }
    void TearDown() override
    {
        QFile::remove(dir.filePath("mcp.json"));
        manager().reload();
    }

    static ToolServerManager& manager() { return ToolServerManager::instance(); }

    void configure(const QJsonObject& servers)
    {
        QFile file(dir.filePath("mcp.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{{"mcpServers", servers}}).toJson());
        file.close();
        manager().reload();
        manager().startEnabled();
    }

    ToolServerClient* connected(const QString& name = "srv")
    {
        ToolServerClient* client = manager().client(name);
        EXPECT_TRUE(
            client
            && QTest::qWaitFor([client] { return client->state() == ToolServerClient::State::Connected; }, waitMs))
            << (client ? client->failure().toStdString() : "no client");
        return client;
    }

    // Runs as the runner does, off the UI thread, while this one serves the client.
    static QString call(const std::function<QString()>& work, const std::shared_ptr<FunctionStop>& stop = nullptr)
    {
        auto result = std::async(std::launch::async, [work, stop] {
            FunctionStop::Scope scope(stop);
            return work();
        });
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, waitMs));
        return result.get();
    }
    static QString callFunction(const QString& name, const QString& arguments)
    {
        const std::optional<CustomFunction> function = findFunction(name);
        EXPECT_TRUE(function) << name.toStdString();
        return function ? call([function, arguments] { return function->execution(arguments); }) : QString();
    }

    static bool logHas(ToolServerClient* client, const QString& line)
    {
        return QTest::qWaitFor([&] { return client->log().contains(line); }, waitMs);
    }

    QTemporaryDir dir;
};

// The HTTP variant: JSON answers, except calls, which answer in an event stream.
struct HttpToolServer {
    HttpToolServer()
    {
        http.setHandler([this](const RecordedRequest& request) {
            QMutexLocker lock(&mutex);
            const QJsonObject message = QJsonDocument::fromJson(request.body).object();
            const QList<QJsonObject> answers = logic.handle(message);
            if (answers.isEmpty())
                return ScriptedResponse::text(202, "");
            if (message["method"] != "tools/call") {
                ScriptedResponse response = ScriptedResponse::text(200, QJsonDocument(answers[0]).toJson());
                response.headers.append({QByteArray("Mcp-Session-Id"), QByteArray("session-7")});
                return response;
            }
            QList<QByteArray> events;
            for (const QJsonObject& answer : answers)
                events << "data: " + QJsonDocument(answer).toJson(QJsonDocument::Compact) + "\n\n";
            return ScriptedResponse::sse(events);
        });
    }
    QMutex mutex;
    McpTestServer logic{3, 2};
    HttpTestServer http;
};

class ToolServerSession : public ToolServerTest, public testing::WithParamInterface<bool> {};

} // namespace

TEST_P(ToolServerSession, HandshakePagesCallsAndListsAgainWhenTold)
{
    HttpToolServer httpServer;
    const bool overHttp = GetParam();
    configure({{"srv", overHttp ? QJsonObject{{"url", httpServer.http.baseUrl().toString() + "/mcp"},
                                              {"headers", QJsonObject{{"Authorization", "Bearer t0k"}}},
                                              {"askBeforeCall", false}}
                                : QJsonObject{{"command", VORBEL_MCP_TEST_SERVER},
                                              {"args", QJsonArray{"--fillers", "3", "--page-size", "2"}},
                                              {"askBeforeCall", false}}}});
    ToolServerClient* client = connected();
    ASSERT_TRUE(client);
    ASSERT_EQ(client->tools().size(), 8); // four pages of two
    EXPECT_EQ(client->tools().last().name, "filler3");

    const auto offered = enabledFunctionDefinitions();
    const auto echo =
        std::find_if(offered.begin(), offered.end(), [](const ApiFunction& f) { return f.name == "srv__echo"; });
    ASSERT_NE(echo, offered.end());
    EXPECT_EQ(echo->toJson()["parameters"].toObject()["properties"].toObject().keys(), QStringList{"text"});
    EXPECT_EQ(echo->description, "Test tool echo");

    const struct {
        const char* function;
        const char* arguments;
        QString result;
    } calls[] = {
        {"srv__echo", R"({"text":"hi"})", R"({"text":"hi"})"},
        {"srv__echo", "", "{}"},
        {"srv__echo", R"({"image":1})", "{\"image\":1}\n\n[image: image/png, 3 KB]"},
        {"srv__fail", "{}", "Tool error: disk full"},
        {"srv__echo", "[1]", "The arguments are not a JSON object"},
        {"srv__grow", "{}", "grown"},
    };
    for (const auto& c : calls)
        EXPECT_EQ(callFunction(c.function, c.arguments), c.result) << c.function << ' ' << c.arguments;
    EXPECT_TRUE(QTest::qWaitFor([] { return isFunctionOffered("srv__extra"); }, waitMs)) << "listed again";

    if (!overHttp) {
        const QStringList start = client->log().mid(0, 3);
        EXPECT_EQ(start, (QStringList{"received initialize 1", "received notifications/initialized 0",
                                      "received tools/list 2"}));
        return;
    }
    const QList<RecordedRequest> requests = httpServer.http.requests();
    const QJsonObject initialize = QJsonDocument::fromJson(requests[0].body).object();
    EXPECT_EQ(initialize["params"]["protocolVersion"], "2025-11-25");
    EXPECT_FALSE(requests[0].hasHeader("Mcp-Session-Id"));
    for (const RecordedRequest& request : requests) {
        EXPECT_EQ(request.header("Accept"), "application/json, text/event-stream");
        EXPECT_EQ(request.header("Authorization"), "Bearer t0k");
    }
    EXPECT_EQ(QJsonDocument::fromJson(requests[1].body)["method"], "notifications/initialized");
    EXPECT_EQ(requests[1].header("Mcp-Session-Id"), "session-7");
    EXPECT_EQ(requests[1].header("MCP-Protocol-Version"), "2025-06-18");
    EXPECT_EQ(QJsonDocument::fromJson(requests[3].body)["params"]["cursor"], "2");
}

INSTANTIATE_TEST_SUITE_P(Transports, ToolServerSession, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Http" : "Stdio"; });

TEST_F(ToolServerTest, ConfirmationShowsTheCallAndOnlyThatRuns)
{
    configure({{"srv", stdioServer()}});
    ToolServerClient* client = connected();
    ASSERT_TRUE(client);
    const std::optional<CustomFunction> echo = findFunction(QString("srv__echo"));
    ASSERT_TRUE(echo && echo->requiresConfirmation);
    const std::optional<QString> text = echo->confirmationText(R"({"text":"a\u202eb"})");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "Server: srv\nTool: echo\nArguments:\n{\n    \"text\": \"a\\u202eb\"\n}");
    EXPECT_FALSE(echo->confirmationText("not json"));
    EXPECT_EQ(call([&] { return echo->confirmedExecution(QString(*text).replace("Tool: echo", "Tool: fail")); }),
              "The confirmed text is not a call of this tool");
    EXPECT_FALSE(client->log().join('\n').contains("tools/call")) << "held until confirmed";

    EXPECT_EQ(call([&] { return echo->confirmedExecution(*text); }), "{\"text\":\"a\u202eb\"}");
    EXPECT_TRUE(client->log().join('\n').contains("tools/call"));
}

TEST_F(ToolServerTest, ACrashedServerRestartsOnUseThreeTimesAMinuteThenStaysFailed)
{
    configure({{"srv", stdioServer()}, {"bad", stdioServer({"--fail-start"})}});
    ToolServerClient* client = connected();
    ASSERT_TRUE(client);
    for (int run = 1; run <= 4; ++run) // the first start and three restarts
        EXPECT_EQ(callFunction("srv__crash", "{}"), "Tool server \"srv\" failed: exited with status 3") << run;
    const QString refused = callFunction("srv__echo", "{}");
    EXPECT_TRUE(refused.startsWith("Tool server \"srv\" failed: ended 4 times within a minute; last lines: "))
        << refused.toStdString();
    EXPECT_TRUE(refused.endsWith("| crashing on purpose")) << refused.toStdString();
    EXPECT_EQ(client->state(), ToolServerClient::State::Failed);

    ToolServerClient* bad = manager().client("bad");
    ASSERT_TRUE(QTest::qWaitFor([bad] { return bad->state() == ToolServerClient::State::Failed; }, waitMs));
    EXPECT_EQ(bad->failure(), "exited with status 2");
    EXPECT_EQ(bad->log(), QStringList{"cannot start: no token given"});

    client->reconnect(); // the user's reconnect forgets the count
    EXPECT_TRUE(connected());
}

TEST_F(ToolServerTest, StopEndsAHangingCallAndCancelsItAtTheServer)
{
    configure({{"srv", stdioServer()}});
    ToolServerClient* client = connected();
    ASSERT_TRUE(client);
    const std::optional<CustomFunction> hang = findFunction(QString("srv__hang"));
    ASSERT_TRUE(hang);
    auto stop = std::make_shared<FunctionStop>();
    auto result = std::async(std::launch::async, [&] {
        FunctionStop::Scope scope(stop);
        return hang->execution("{}");
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return client->log().join('\n').contains("tools/call"); }, waitMs));
    const QString id = client->log().filter("tools/call").first().section(' ', 2);
    EXPECT_EQ(result.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    stop->request();
    EXPECT_EQ(result.get(), QString::fromUtf16(stoppedFunctionResult));
    EXPECT_TRUE(logHas(client, "received notifications/cancelled " + id));
    EXPECT_EQ(callFunction("srv__echo", "{}"), "{}") << "the server serves on";
}

TEST_F(ToolServerTest, AServerIsFoundOnTheLoginPathWhenTheAppsOwnIsMinimal)
{
    QTemporaryDir shellDir;
    const QString shell = shellDir.filePath("login-shell");
    QFile script(shell);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nPATH=" + QFileInfo(VORBEL_MCP_TEST_SERVER).absolutePath().toUtf8()
                 + ":/usr/bin:/bin exec env -0\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    const QByteArray loginShell = qgetenv("SHELL");
    qputenv("PATH", "/usr/bin:/bin");
    qputenv("SHELL", shell.toUtf8());
    LoginEnvironment::forgetForTesting();

    configure({{"srv", stdioServer({}, QFileInfo(VORBEL_MCP_TEST_SERVER).fileName())}});
    EXPECT_TRUE(connected());
    qputenv("PATH", path);
    qputenv("SHELL", loginShell);
    LoginEnvironment::forgetForTesting();
}

TEST_F(ToolServerTest, HeaderAndEnvironmentValuesReachNoLogLineOrStatus)
{
    static QMutex mutex;
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            QMutexLocker lock(&mutex);
            lines << text;
        });
    configure({{"web", QJsonObject{{"url", HttpTestServer::refusedUrl().toString() + "/mcp?x=1"},
                                   {"headers", QJsonObject{{"Authorization", "Bearer sekrit-h"}}}}},
               {"cmd", QJsonObject{{"command", VORBEL_MCP_TEST_SERVER},
                                   {"args", QJsonArray{"--fail-start"}},
                                   {"env", QJsonObject{{"TOKEN", "sekrit-e"}}}}}});
    for (const char* name : {"web", "cmd"}) {
        ToolServerClient* client = manager().client(name);
        ASSERT_TRUE(QTest::qWaitFor([client] { return client->state() == ToolServerClient::State::Failed; }, waitMs));
        QMutexLocker lock(&mutex);
        lines << client->statusText() << client->log();
    }
    qInstallMessageHandler(previous);
    QMutexLocker lock(&mutex);
    EXPECT_EQ(lines.filter("\" failed: ").size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.filter("sekrit").isEmpty()) << lines.join('\n').toStdString();
}
