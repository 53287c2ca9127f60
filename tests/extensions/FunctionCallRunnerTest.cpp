#include "ExtensionTestSupport.h"

#include "extensions/ExtensionRegistry.h"
#include "store/StoreContext.h"
#include "store/StoreOperations.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>

using namespace extensiontest;

namespace {

// Puts test doubles in place of real executions and removes them afterwards.
class FunctionCallRunnerTest : public testing::Test {
protected:
    void TearDown() override
    {
        for (const char* name : {"jsExecution", "cliExecution", "getMemory"})
            setExecutionOverrideForTesting(QString::fromLatin1(name), {});
    }

    MessagePtr functionCall(const std::optional<QString>& name, const std::optional<QString>& arguments)
    {
        if (!conversation)
            conversation = context.insertConversation();
        MessagePtr message = makeMessage(context, "assistant", QString(), conversation, name, true);
        message->setFunctionArguments(arguments);
        saveContext(context);
        return message;
    }

    StoreContext context{SqliteStore::openInMemory()};
    ConversationPtr conversation;
};

// Lets a test hold executions until it opens the gate (20 s at most, so a broken
// build cannot hang).
struct Gate {
    QSemaphore arrived;
    QSemaphore opened;

    void arriveAndWait()
    {
        arrived.release();
        opened.tryAcquire(1, 20000);
    }
    bool waitForArrivals(int count) { return arrived.tryAcquire(count, 20000); }
    void release() { opened.release(4); } // enough for every execution a test holds
};

} // namespace

TEST_F(FunctionCallRunnerTest, RecordsTheReturnedTextOffTheUiThreadThenSavesAndCallsBack)
{
    std::atomic<QThread*> executedOn = nullptr;
    std::optional<QString> received;
    setExecutionOverrideForTesting("jsExecution", [&](const std::optional<QString>& arguments) {
        executedOn = QThread::currentThread();
        received = arguments;
        return QStringLiteral("42");
    });
    const MessagePtr message = functionCall(QStringLiteral("jsExecution"), QStringLiteral(R"({"script":"6*7"})"));
    bool recorded = false;
    bool savedBeforeCallback = false;
    runFunctionCall(context, message, [&] {
        recorded = true;
        savedBeforeCallback = !context.hasChanges();
    });
    EXPECT_FALSE(recorded); // never before returning
    ASSERT_TRUE(waitUntil([&] { return recorded; }));
    EXPECT_EQ(message->functionResult(), QString("42"));
    EXPECT_TRUE(savedBeforeCallback);
    EXPECT_EQ(received, QString(R"({"script":"6*7"})"));
    EXPECT_NE(executedOn.load(), nullptr);
    EXPECT_NE(executedOn.load(), QThread::currentThread());
}

TEST_F(FunctionCallRunnerTest, FailuresAndUnknownNamesGetTheirFixedTexts)
{
    std::atomic<int> runs = 0;
    std::optional<QString> received = QString("not called");
    setExecutionOverrideForTesting("getMemory", [&](const std::optional<QString>& arguments) -> QString {
        ++runs;
        received = arguments;
        throw std::runtime_error("service down");
    });
    setExecutionOverrideForTesting("jsExecution", [&](const std::optional<QString>&) -> QString {
        ++runs;
        throw 7; // not even an exception class
    });

    const MessagePtr failing = functionCall(QStringLiteral("getMemory"), std::nullopt);
    const MessagePtr throwingAnything = functionCall(QStringLiteral("jsExecution"), QStringLiteral("{}"));
    const MessagePtr unknown = functionCall(QStringLiteral("JSExecution"), QStringLiteral("{}"));
    const MessagePtr nameless = functionCall(std::nullopt, std::nullopt);
    int callbacks = 0;
    for (const MessagePtr& message : {failing, throwingAnything, unknown, nameless})
        runFunctionCall(context, message, [&] { ++callbacks; });
    ASSERT_TRUE(waitUntil([&] { return callbacks == 4; }));

    EXPECT_EQ(failing->functionResult(), QString("Function returned unexpected result"));
    EXPECT_EQ(received, std::nullopt); // absent arguments stay absent
    EXPECT_EQ(throwingAnything->functionResult(), QString("Function returned unexpected result"));
    EXPECT_EQ(unknown->functionResult(), QString("Unknown function name"));
    EXPECT_EQ(nameless->functionResult(), QString("Unknown function name"));
    EXPECT_EQ(runs.load(), 2);
    EXPECT_FALSE(context.hasChanges());
}

TEST_F(FunctionCallRunnerTest, SeveralBlockingExecutionsRunSideBySide)
{
    // Each execution waits until all four have started: this only finishes when
    // the pool gives them four threads at once.
    Gate gate;
    setExecutionOverrideForTesting("cliExecution", [&](const std::optional<QString>& arguments) {
        gate.arriveAndWait();
        return arguments.value_or(QString());
    });
    std::vector<MessagePtr> messages;
    int callbacks = 0;
    for (int i = 0; i < 4; ++i) {
        messages.push_back(functionCall(QStringLiteral("cliExecution"), QString::number(i)));
        runFunctionCall(context, messages.back(), [&] { ++callbacks; });
    }
    EXPECT_TRUE(gate.waitForArrivals(4));
    gate.release();
    ASSERT_TRUE(waitUntil([&] { return callbacks == 4; }));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(messages[i]->functionResult(), QString::number(i));
}

TEST_F(FunctionCallRunnerTest, MessageDeletedWhileRunningIsRecordedHarmlessly)
{
    Gate gate;
    setExecutionOverrideForTesting("jsExecution", [&](const std::optional<QString>&) {
        gate.arriveAndWait();
        return QStringLiteral("late");
    });
    const MessagePtr message = functionCall(QStringLiteral("jsExecution"), QStringLiteral("{}"));
    bool recorded = false;
    runFunctionCall(context, message, [&] { recorded = true; });
    ASSERT_TRUE(gate.waitForArrivals(1));
    deleteConversation(context, conversation);
    gate.release();
    ASSERT_TRUE(waitUntil([&] { return recorded; }));
    EXPECT_TRUE(message->isDeleted());
    EXPECT_FALSE(context.hasChanges());
    EXPECT_TRUE(context.conversations().empty());
}

TEST_F(FunctionCallRunnerTest, ContextGoneBeforeTheResultIsLeftAlone)
{
    Gate gate;
    setExecutionOverrideForTesting("jsExecution", [&](const std::optional<QString>&) {
        gate.arriveAndWait();
        return QStringLiteral("late");
    });
    auto shortLived = std::make_unique<StoreContext>(SqliteStore::openInMemory());
    MessagePtr message = makeMessage(*shortLived, "assistant", QString(), shortLived->insertConversation(),
                                     QStringLiteral("jsExecution"), true);
    bool recorded = false;
    runFunctionCall(*shortLived, message, [&] { recorded = true; });
    ASSERT_TRUE(gate.waitForArrivals(1));
    shortLived.reset();
    gate.release();
    // Every job has posted its outcome once the pool is idle; deliver it.
    ASSERT_TRUE(extensionThreadPool().waitForDone(20000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(recorded);
}
