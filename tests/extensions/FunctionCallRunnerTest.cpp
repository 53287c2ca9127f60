#include "ExtensionTestSupport.h"

#include "extensions/ExtensionRegistry.h"

#include <QFile>
#include <QScopeGuard>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace {

class FunctionCallRunnerTest : public testing::Test {
protected:
    void SetUp() override { clearExtensionSettings(); }
    void TearDown() override
    {
        for (const char* name : {"jsExecution", "getMemory"})
            setExecutionOverrideForTesting(QString::fromLatin1(name), {});
    }

    MessagePtr functionCall(const std::optional<QString>& name, const std::optional<QString>& arguments)
    {
        MessagePtr message = makeMessage(context, "assistant", QString(), conversation, name, true);
        message->setFunctionArguments(arguments);
        saveChanges(context);
        return message;
    }

    StoreContext context{SqliteStore::openInMemory()};
    ConversationPtr conversation = context.insertConversation();
};

} // namespace

TEST_F(FunctionCallRunnerTest, RecordsTheOutcomeOffTheUiThreadThenSavesAndCallsBack)
{
    std::atomic<QThread*> executedOn = nullptr;
    std::optional<QString> received = QString("not called");
    setExecutionOverrideForTesting("jsExecution", [&](const std::optional<QString>& arguments) {
        executedOn = QThread::currentThread();
        received = arguments;
        return QStringLiteral("42");
    });
    const MessagePtr answered = functionCall(QStringLiteral("jsExecution"), QStringLiteral(R"({"script":"6*7"})"));
    bool savedBeforeCallback = false;
    int callbacks = 0;
    runFunctionCall(context, answered, [&] {
        savedBeforeCallback = !context.hasChanges();
        ++callbacks;
    });
    EXPECT_EQ(callbacks, 0); // never before returning
    ASSERT_TRUE(QTest::qWaitFor([&] { return callbacks == 1; }, 20000));
    EXPECT_EQ(answered->functionResult(), QString("42"));
    EXPECT_TRUE(savedBeforeCallback);
    EXPECT_EQ(received, QString(R"({"script":"6*7"})"));
    EXPECT_NE(executedOn.load(), QThread::currentThread());

    // Whatever an execution throws, and a name no function has, get fixed texts.
    setExecutionOverrideForTesting("getMemory", [&](const std::optional<QString>& arguments) -> QString {
        received = arguments;
        throw std::runtime_error("service down");
    });
    setExecutionOverrideForTesting("jsExecution", [](const std::optional<QString>&) -> QString { throw 7; });
    const MessagePtr failing = functionCall(QStringLiteral("getMemory"), std::nullopt);
    const MessagePtr throwingAnything = functionCall(QStringLiteral("jsExecution"), QStringLiteral("{}"));
    const MessagePtr unknown = functionCall(QStringLiteral("JSExecution"), QStringLiteral("{}"));
    const MessagePtr nameless = functionCall(std::nullopt, std::nullopt);
    for (const MessagePtr& message : {failing, throwingAnything, unknown, nameless})
        runFunctionCall(context, message, [&] { ++callbacks; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return callbacks == 5; }, 20000));
    EXPECT_EQ(received, std::nullopt); // absent arguments stay absent
    for (const MessagePtr& message : {failing, throwingAnything})
        EXPECT_EQ(message->functionResult(), QString("Function returned unexpected result"));
    for (const MessagePtr& message : {unknown, nameless})
        EXPECT_EQ(message->functionResult(), QString("Unknown function name"));
    EXPECT_FALSE(context.hasChanges());
}

TEST_F(FunctionCallRunnerTest, ShellCommandsNeverHoldUpOtherFunctions)
{
    // More commands than the quick functions' pool has threads, each waiting for the go file.
    QTemporaryDir dir;
    const int commands = extensionThreadPool().maxThreadCount() + 1;
    std::vector<MessagePtr> shells;
    int shellResults = 0;
    for (int i = 0; i < commands; ++i) {
        shells.push_back(functionCall(
            "cliExecution",
            argumentsWith("command", QString("for i in $(seq 200); do [ -e %1/go ] && break; sleep 0.1; done; echo %2")
                                         .arg(dir.path())
                                         .arg(i))));
        runFunctionCall(context, shells.back(), [&] { ++shellResults; });
    }
    const auto letGo = [&] { QFile(dir.path() + "/go").open(QIODevice::WriteOnly); };
    const auto letGoOnFailure = qScopeGuard(letGo);

    const MessagePtr script = functionCall("jsExecution", argumentsWith("script", "6 * 7"));
    bool scriptRecorded = false;
    runFunctionCall(context, script, [&] { scriptRecorded = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return scriptRecorded; }, 5000));
    EXPECT_EQ(script->functionResult(), QString("42"));
    EXPECT_EQ(shellResults, 0);

    letGo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shellResults == commands; }, 20000));
    for (int i = 0; i < commands; ++i)
        EXPECT_EQ(shells[i]->functionResult(), QString::number(i) + "\n");
}

TEST_F(FunctionCallRunnerTest, ResultOutlivingItsMessageIsLeftHarmless)
{
    // The script waits until the test lets it finish (20 s at most).
    QSemaphore arrived;
    QSemaphore opened;
    setExecutionOverrideForTesting("jsExecution", [&](const std::optional<QString>&) {
        arrived.release();
        opened.tryAcquire(1, 20000);
        return QStringLiteral("late");
    });
    // The message is deleted while its function runs.
    const MessagePtr message = functionCall(QStringLiteral("jsExecution"), QStringLiteral("{}"));
    bool recorded = false;
    runFunctionCall(context, message, [&] { recorded = true; });
    ASSERT_TRUE(arrived.tryAcquire(1, 20000));
    deleteConversation(context, conversation);
    opened.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorded; }, 20000));
    EXPECT_FALSE(context.hasChanges());
    EXPECT_TRUE(context.conversations().empty());
}
