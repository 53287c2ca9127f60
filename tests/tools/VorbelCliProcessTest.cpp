#include "CliTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

namespace {

struct ProcessResult {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }
};

} // namespace

// Runs the installed program as a user would, with settings and store in a
// folder of its own.
class VorbelCliProcessTest : public testing::Test {
protected:
    void startCli(QProcess& process, const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
        environment.insert("XDG_DATA_HOME", home.path() + "/data");
        environment.insert("VORBEL_OPENAI_URL", server.baseUrl().toString());
        environment.remove("VORBEL_CATALOGUE_URL");
        for (auto it = extraEnvironment.cbegin(); it != extraEnvironment.cend(); ++it)
            environment.insert(it.key(), it.value());

        process.setProcessEnvironment(environment);
        process.start(VORBEL_CLI_PATH, arguments);
        EXPECT_TRUE(process.waitForStarted());
    }

    ProcessResult runCli(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess process;
        startCli(process, arguments);
        process.write(input);
        process.closeWriteChannel();
        // The test server answers from its own thread, so blocking here is fine.
        EXPECT_TRUE(process.waitForFinished(60000)) << arguments.join(' ').toStdString();
        ProcessResult result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    QTemporaryDir home;
    ChatTestServer server;
    QHash<QString, QString> extraEnvironment;
};

// The key set by one run reaches the next through the settings file.
TEST_F(VorbelCliProcessTest, AChatThroughAFunctionCallIsStoredAndAKilledOneKeepsItsSavedPrefix)
{
    ASSERT_EQ(runCli({"settings", "set", "apiKey", "sk-e2e"}).exitCode, 0);
    const ProcessResult added = runCli(
        {"assistants", "add", "--name", "Calc", "--personality", "You compute.", "--picture", "https://x/c.png"});
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();

    server.enqueue(Sse::functionCall("jsExecution", {"{\"script\":", "\"1+1\"}"}));
    server.enqueue(Sse::reply({"The answer ", "is 2."}));
    const ProcessResult chat = runCli({"chat", "--assistant", "Calc", "What", "is", "1+1?"});
    ASSERT_EQ(chat.exitCode, 0) << chat.err.toStdString();
    EXPECT_EQ(chat.out, "The answer is 2.\n");
    const QUuid conversationId = QUuid::fromString(chat.errLines().value(0));
    ASSERT_FALSE(conversationId.isNull()) << chat.err.toStdString();
    EXPECT_TRUE(chat.err.contains("Executing")) << chat.err.toStdString();

    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(server.requests().at(0).header("authorization"), "Bearer sk-e2e");
    const QJsonArray first = Sse::sentMessages(server.requests().at(0));
    EXPECT_EQ(first.at(0).toObject()["content"], "You compute.");
    EXPECT_EQ(first.at(1).toObject()["content"], "What is 1+1?");
    EXPECT_EQ(Sse::sentMessages(server.requests().at(1)).last().toObject()["content"], "2");

    // Later runs read the whole exchange back from the store.
    const ProcessResult listed = runCli({"conversations"});
    EXPECT_TRUE(listed.out.startsWith(conversationId.toString(QUuid::WithoutBraces) + "\tWhat is 1+1?\tCalc\t"));
    const QJsonArray stored =
        QJsonDocument::fromJson(runCli({"show", "--json", conversationId.toString()}).out.toUtf8()).array();
    ASSERT_EQ(stored.size(), 3);
    EXPECT_EQ(stored[0].toObject()["content"], "What is 1+1?");
    EXPECT_EQ(stored[1].toObject()["functionArguments"], "{\"script\":\"1+1\"}");
    EXPECT_EQ(stored[1].toObject()["functionResult"], "2");
    EXPECT_EQ(stored[1].toObject()["done"], true);
    EXPECT_EQ(stored[2].toObject()["content"], "The answer is 2.");
    EXPECT_EQ(stored[2].toObject()["done"], true);

    // One killed amid the reply keeps every piece saved before the kill, and nothing after.
    ScriptedResponse stalled = ScriptedResponse::sse({Sse::content("Hel"), Sse::content("lo, wö")});
    stalled.pieces.append({600000, Sse::content("rld") + Sse::done});
    server.enqueue(stalled);
    QProcess killed;
    killed.setReadChannel(QProcess::StandardError);
    startCli(killed, {"chat", "--assistant", "General Assistant", "Hi"});
    ASSERT_TRUE(QTest::qWaitFor([&killed] { return killed.canReadLine(); }, 30000));
    const QString id = QString::fromUtf8(killed.readLine()).trimmed();
    const auto shownReply = [&] {
        return QJsonDocument::fromJson(runCli({"show", "--json", id}).out.toUtf8()).array().at(1).toObject();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownReply()["content"] == "Hello, wö"; }, 30000));
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished());
    const QJsonObject shown = shownReply();
    EXPECT_EQ(std::pair(shown["content"], shown["done"]), std::pair(QJsonValue("Hello, wö"), QJsonValue(false)));
}

// The exit code and the one error line reach the shell; background lines stay
// off standard output, where scripts read the list.
TEST_F(VorbelCliProcessTest, ErrorsExitTwoAndBackgroundLinesStayOffStandardOutput)
{
    const ProcessResult refused = runCli({"chat", "--assistant", "General Assistant", "Hi"}); // no API key yet
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.errLines().size(), 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.out.isEmpty()) << refused.out.toStdString();
    EXPECT_EQ(server.requestCount(), 0);

    // An unreachable catalogue prints its outcome line. A personality of
    // spaces is one.
    extraEnvironment.insert("VORBEL_CATALOGUE_URL", HttpTestServer::refusedUrl().toString());
    ASSERT_EQ(runCli({"assistants", "add", "--name", "Solo", "--personality", " ", "--picture", "http://x"}).exitCode,
              0);
    const ProcessResult listed = runCli({"assistants"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out.count('\n'), 1);
    EXPECT_TRUE(listed.out.endsWith("\tSolo\n")) << listed.out.toStdString();
    EXPECT_EQ(listed.err, "Unable to get assistant data here\n");
}
