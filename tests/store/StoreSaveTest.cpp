#include "StoreTestSupport.h"

#include "store/StoreOperations.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <sqlite3.h>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(StoreSave, FailedSaveKeepsChangesUntilALaterSaveSucceeds)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    ConversationPtr conversation = createConversation(context, nullptr);

    store.context().database().setQueryOnly(true);
    MessagePtr message = makeMessage(context, "user", "keep me", conversation, std::nullopt, true);
    CaptureStdout();
    EXPECT_FALSE(saveContext(context));
    const std::string printed = GetCapturedStdout();
    EXPECT_EQ(printed.rfind("Error: ", 0), 0u) << printed;
    EXPECT_NE(printed.find(", {code = 8"), std::string::npos) << printed; // SQLITE_READONLY
    EXPECT_EQ(printed.back(), '\n');
    // Still on screen and still pending.
    EXPECT_EQ(conversation->messages().size(), 1u);
    EXPECT_TRUE(context.hasChanges());

    message->appendContent(", please");
    store.context().database().setQueryOnly(false);
    EXPECT_TRUE(saveContext(context));
    EXPECT_FALSE(context.hasChanges());

    store.reopen();
    const auto messages = store.context().conversations()[0]->messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]->content(), QString("keep me, please"));
}

TEST(StoreSave, ReturnedSaveSurvivesSigkill)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Vorbel.sqlite";
    QProcess child;
    child.start(SAVE_THEN_WAIT_PATH, {path});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(child.waitForReadyRead(30000));
    ASSERT_EQ(child.readLine(), QByteArray("saved\n"));
    child.kill(); // SIGKILL: no destructors, no checkpoint
    ASSERT_TRUE(child.waitForFinished());

    DataController reopened(path);
    ASSERT_TRUE(reopened.isPersistent());
    const auto conversations = reopened.viewContext().conversations();
    ASSERT_EQ(conversations.size(), 1u);
    ASSERT_EQ(conversations[0]->messages().size(), 1u);
    EXPECT_EQ(conversations[0]->messages()[0]->content(), QString("Hello!"));
    EXPECT_EQ(conversations[0]->assistant()->name(), QString("Durable"));
}

TEST(StoreSave, UnreadableOrNewerFilesAreReportedAndLeftUntouched)
{
    QTemporaryDir dir;
    const QString garbagePath = dir.path() + "/garbage.sqlite";
    {
        QFile file(garbagePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
    }
    const QString newerPath = dir.path() + "/newer.sqlite";
    {
        sqlite3* db = nullptr;
        sqlite3_open(newerPath.toUtf8().constData(), &db);
        sqlite3_exec(db, "CREATE TABLE future(x); PRAGMA user_version=99;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const auto readAll = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray garbageBefore = readAll(garbagePath);
    const QByteArray newerBefore = readAll(newerPath);

    for (const QString& path : {garbagePath, newerPath}) {
        CaptureStdout();
        DataController controller(path);
        const std::string printed = GetCapturedStdout();
        EXPECT_EQ(printed.rfind("Core Data failed to load: ", 0), 0u) << printed;
        EXPECT_FALSE(controller.isPersistent());
        // The app runs on with a store in memory.
        ConversationPtr c = createConversation(controller.viewContext(), nullptr);
        EXPECT_TRUE(c->id().has_value());
        EXPECT_FALSE(controller.viewContext().hasChanges());
    }
    EXPECT_EQ(readAll(garbagePath), garbageBefore);
    EXPECT_EQ(readAll(newerPath), newerBefore);
    EXPECT_FALSE(QFile::exists(garbagePath + "-wal"));
}

TEST(StoreSave, MissingFolderIsCreated)
{
    QTemporaryDir dir;
    DataController controller(dir.path() + "/deep/er/Vorbel.sqlite");
    EXPECT_TRUE(controller.isPersistent());
    EXPECT_TRUE(QFile::exists(dir.path() + "/deep/er/Vorbel.sqlite"));
}
