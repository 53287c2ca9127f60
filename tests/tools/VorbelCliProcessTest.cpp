#include "CliTestSupport.h"

#include "store/StoreOperations.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

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
    ProcessResult runCli(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
        environment.insert("XDG_DATA_HOME", home.path() + "/data");
        environment.insert("VORBEL_OPENAI_URL", server.baseUrl().toString());
        environment.remove("VORBEL_CATALOGUE_URL");
        for (auto it = extraEnvironment.cbegin(); it != extraEnvironment.cend(); ++it)
            environment.insert(it.key(), it.value());

        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(VORBEL_CLI_PATH, arguments);
        EXPECT_TRUE(process.waitForStarted());
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

    // Where the program keeps its store under this test's data folder.
    QString storePath() const
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
        const QString path = DataController::defaultDatabasePath();
        qputenv("XDG_DATA_HOME", saved);
        return path;
    }

    QTemporaryDir home;
    ChatTestServer server;
    QHash<QString, QString> extraEnvironment;
};

// The key set by one run reaches the next through the settings file.
TEST_F(VorbelCliProcessTest, AChatThroughAFunctionCallToTheReplyIsStored)
{
    ASSERT_EQ(runCli({"settings", "set", "apiKey", "sk-e2e"}).exitCode, 0);
    const ProcessResult added =
        runCli({"assistants", "add", "--name", "Calc", "--personality", "You compute.", "--picture", "https://x/c.png"});
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();

    server.enqueue(sse::functionCall("jsExecution", {"{\"script\":", "\"1+1\"}"}));
    server.enqueue(sse::reply({"The answer ", "is 2."}));
    const ProcessResult chat = runCli({"chat", "--assistant", "Calc", "What", "is", "1+1?"});
    ASSERT_EQ(chat.exitCode, 0) << chat.err.toStdString();
    EXPECT_EQ(chat.out, "The answer is 2.\n");
    const QUuid conversationId = QUuid::fromString(chat.errLines().value(0));
    ASSERT_FALSE(conversationId.isNull()) << chat.err.toStdString();
    EXPECT_TRUE(chat.err.contains("Executing")) << chat.err.toStdString();

    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(server.requests().at(0).header("authorization"), "Bearer sk-e2e");
    const QJsonArray first = sse::sentMessages(server.requests().at(0));
    EXPECT_EQ(first.at(0).toObject()["content"], "You compute.");
    EXPECT_EQ(first.at(1).toObject()["content"], "What is 1+1?");
    EXPECT_EQ(sse::sentMessages(server.requests().at(1)).last().toObject()["content"], "2");

    DataController reopened(storePath());
    const ConversationPtr conversation = reopened.viewContext().conversationWithId(conversationId);
    ASSERT_TRUE(conversation);
    const auto messages = orderedMessages(*conversation);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0]->role(), "user");
    EXPECT_EQ(messages[0]->content(), "What is 1+1?");
    EXPECT_EQ(messages[1]->functionName(), "jsExecution");
    EXPECT_EQ(messages[1]->functionArguments(), "{\"script\":\"1+1\"}");
    EXPECT_EQ(messages[1]->functionResult(), "2");
    EXPECT_TRUE(messages[1]->done());
    EXPECT_EQ(messages[2]->content(), "The answer is 2.");
    EXPECT_TRUE(messages[2]->done());

    // The other commands see the same store.
    const ProcessResult listed = runCli({"conversations"});
    EXPECT_TRUE(listed.out.startsWith(conversationId.toString(QUuid::WithoutBraces) + "\tCalc\t"));
    const ProcessResult shown = runCli({"show", "--json", conversationId.toString()});
    EXPECT_EQ(QJsonDocument::fromJson(shown.out.toUtf8()).array().size(), 3);
}

TEST_F(VorbelCliProcessTest, ErrorsExitTwoWithOneLineOnStandardError)
{
    const QList<QStringList> cases{
        {"chat", "--assistant", "General Assistant", "Hi"}, // no API key yet
        {},
        {"bogus"},
    };
    for (const QStringList& arguments : cases) {
        const ProcessResult result = runCli(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.errLines().size(), 1) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
    }
    // The other refusals are checked in process.
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(VorbelCliProcessTest, BackgroundLinesStayOffStandardOutput)
{
    // An unreachable catalogue prints its outcome line; scripts reading the
    // list must not get it.
    extraEnvironment.insert("VORBEL_CATALOGUE_URL", HttpTestServer::refusedUrl().toString());
    ASSERT_EQ(runCli({"assistants", "add", "--name", "Solo", "--personality", "p", "--picture", "http://x"}).exitCode, 0);
    const ProcessResult listed = runCli({"assistants"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out.count('\n'), 1);
    EXPECT_TRUE(listed.out.endsWith("\tSolo\n")) << listed.out.toStdString();
    EXPECT_EQ(listed.err, "Unable to get assistant data here\n");
}
