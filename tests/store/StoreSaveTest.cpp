#include "StoreTestSupport.h"

#include "store/ConversationSearch.h"
#include "store/ListModels.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// The rows a failed save had been given go back; another process may take them.
TEST(StoreSave, FailedSaveKeepsChangesUntilALaterSaveSucceeds)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    const auto exec = [&context](const char* sql) { sqlite3_exec(context.database().handle(), sql, {}, {}, {}); };
    exec("CREATE TRIGGER refuse BEFORE INSERT ON message BEGIN SELECT RAISE(ABORT, 'refused'); END");
    ConversationPtr kept = context.insertConversation();
    ConversationPtr doomed = context.insertConversation();
    MessagePtr message = makeMessage(context, "user", "keep me", kept, std::nullopt, true);
    CaptureStdout();
    EXPECT_FALSE(saveChanges(context));
    const std::string printed = GetCapturedStdout();
    EXPECT_EQ(printed.rfind("Error: refused, {code = ", 0), 0u) << printed;
    EXPECT_TRUE(printed.ends_with("}\n")) << printed;
    EXPECT_EQ(kept->messages().size(), 1u);
    EXPECT_TRUE(context.hasChanges());
    DataController tool(store.path());
    createConversation(tool.storeContext(), nullptr);
    createConversation(tool.storeContext(), nullptr);
    CaptureStdout();
    deleteConversation(context, doomed);
    GetCapturedStdout();
    exec("DROP TRIGGER refuse");
    message->appendContent(", please");
    EXPECT_TRUE(saveChanges(context));
    EXPECT_FALSE(context.hasChanges());
    store.reopen();
    ASSERT_EQ(store.context().conversations().size(), 3u);
    const auto messages = store.context().conversations().back()->messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]->content(), QString("keep me, please"));
}

// A save that meets the other process's write waits instead of failing with "database is locked".
TEST(StoreSave, AnotherProcessWritesMeanwhile)
{
    TemporaryStore store;
    ConversationListModel list(store.context());
    ConversationPtr mine = createConversation(store.context(), nullptr);
    QProcess child;
    child.start(SAVE_THEN_WAIT_PATH, {store.path()});
    ASSERT_TRUE(child.waitForReadyRead(30000));
    ASSERT_EQ(child.readLine(), QByteArray("saved\n"));
    EXPECT_TRUE(QTest::qWaitFor([&list] { return list.rowCount() == 2; }, 1000));
    ASSERT_TRUE(child.canReadLine() || child.waitForReadyRead(30000));
    ASSERT_EQ(child.readLine(), QByteArray("locked\n"));
    child.write("go\n");
    ASSERT_TRUE(child.waitForBytesWritten());
    makeMessage(store.context(), "user", "after the lock", mine, std::nullopt, true);
    EXPECT_TRUE(saveChanges(store.context())); // the child holds the lock for 300 ms more
    child.kill();                              // SIGKILL: no destructors, no checkpoint
    ASSERT_TRUE(child.waitForFinished());
    store.reopen();
    EXPECT_EQ(store.context().conversations().size(), 3u);
    const auto durable = store.context().conversations().at(1);
    ASSERT_EQ(durable->messages().size(), 1u);
    EXPECT_EQ(durable->messages()[0]->content(), QString("Hello!"));
    EXPECT_EQ(durable->assistant()->name(), QString("Durable"));
    EXPECT_EQ(queryFile(store.path(), "SELECT count(*) FROM message"), 2);
}

// Each save of a streamed reply adds its piece; a new open, another process's
// merge and (once done) search read the whole text so far, and a later whole
// write takes the pieces in without losing or doubling one, also from a
// process that had not seen the newest pieces.
TEST(StoreSave, AStreamedReplyReadsWholeWhereverItIsRead)
{
    const struct {
        const char* name;
        bool finished, settledElsewhere;
    } cases[] = {
        {"stopped without an end", false, false},
        {"finished", true, false},
        {"settled by another process amid the stream", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryStore store;
        StoreContext& writer = store.context();
        ConversationPtr conversation = createConversation(writer, nullptr);
        MessagePtr reply = makeMessage(writer, "assistant", "", conversation, std::nullopt, false);
        reply->appendReasoning("Thinking.");
        ASSERT_TRUE(saveChanges(writer));
        DataController other(store.path());
        const MessagePtr seen = other.storeContext().conversationWithId(*conversation->id())->messages().at(0);
        for (int ms : {1, 2, 3}) {
            reply->appendContent(QStringList{"Hel", "lo ", "wörld"}.at(ms - 1));
            reply->setReplyMs(ms);
            ASSERT_TRUE(saveChanges(writer));
            EXPECT_TRUE(ms > 1 || (other.storeContext().mergeExternalChanges() && seen->content() == "Hel"));
            if (ms == 2 && c.settledElsewhere) {
                seen->setDone(true);
                ASSERT_TRUE(saveChanges(other.storeContext()));
            }
        }
        reply->setDone(c.finished);
        ASSERT_TRUE(saveChanges(writer));
        other.storeContext().mergeExternalChanges();
        EXPECT_EQ(seen->content(), "Hello wörld");
        for (const char* more : {"", "!"}) {
            DataController reader(store.path());
            const MessagePtr read = reader.storeContext().conversationWithId(*conversation->id())->messages().at(0);
            EXPECT_EQ(std::tuple(read->content(), read->reasoning(), read->replyMs(), read->done()),
                      std::tuple(QString("Hello wörld") + more, QString("Thinking."), 3, c.finished));
            EXPECT_EQ(ConversationSearch::search(reader.storeContext().database().handle(), "wörld")->size(),
                      c.finished ? 1u : 0u);
            read->setContent(*read->content() + "!");
            ASSERT_TRUE(saveChanges(reader.storeContext()));
        }
    }
}

TEST(StoreSave, UnusableFilesAreReportedAndLeftUntouched)
{
    QTemporaryDir dir;
    const QString garbagePath = dir.path() + "/garbage.sqlite";
    const QString newerPath = dir.path() + "/newer.sqlite";
    QFile garbage(garbagePath);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(8192, 'x')) == 8192 && garbage.flush());
    sqlite3* db = nullptr;
    sqlite3_open(newerPath.toUtf8().constData(), &db);
    sqlite3_exec(db, "CREATE TABLE future(x); PRAGMA user_version=99;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const auto bytesOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArrayList before{bytesOf(garbagePath), bytesOf(newerPath)};
    for (const QString& path : {garbagePath, newerPath}) {
        CaptureStdout();
        DataController controller(path);
        const std::string printed = GetCapturedStdout();
        const std::string where =
            " (" + path.toStdString() + "); changes are kept in memory only and will be lost when Vorbel quits\n";
        EXPECT_EQ(printed.rfind("Core Data failed to load: ", 0), 0u) << printed;
        EXPECT_TRUE(printed.size() > where.size() && printed.ends_with(where)) << printed;
        EXPECT_FALSE(controller.isPersistent() || controller.storeContext().isPersistent());
        EXPECT_EQ(controller.databasePath(), path);
        EXPECT_EQ(controller.storeContext().databasePath(), path);
        EXPECT_TRUE(createConversation(controller.storeContext(), nullptr)->id()); // runs on in memory
    }
    EXPECT_EQ(QByteArrayList({bytesOf(garbagePath), bytesOf(newerPath)}), before);
    EXPECT_FALSE(QFile::exists(garbagePath + "-wal"));
}

TEST(StoreSave, FoldersAndFilesAreOwnerOnly)
{
    const mode_t umaskBefore = ::umask(0);
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString file = DataController::defaultDatabasePath();
    ASSERT_EQ(QFileInfo(file).absolutePath(), base + "/Vorbel/Vorbel");
    for (int run = 0; run < 2; ++run) {
        {
            DataController controller;
            ASSERT_TRUE(controller.isPersistent() && controller.storeContext().isPersistent());
            EXPECT_EQ(controller.storeContext().databasePath(), file);
            createConversation(controller.storeContext(), nullptr);
            for (const char* companion : {"-wal", "-shm"})
                EXPECT_EQ(modeOf(file + companion), 0600) << run << companion;
        }
        for (const QString& folder : {base + "/Vorbel", base + "/Vorbel/Vorbel"}) {
            EXPECT_EQ(modeOf(folder), 0700) << run;
            ::chmod(folder.toUtf8().constData(), 0755);
        }
        EXPECT_EQ(modeOf(file), 0600) << run;
        QFile(file + "-wal").open(QIODevice::WriteOnly);
        for (const QString& path : {file, file + "-wal"})
            ::chmod(path.toUtf8().constData(), 0644);
    }
    EXPECT_NE(modeOf(base) & 0077, 0); // the data location itself is not Vorbel's
    const QString target = base + "/elsewhere.sqlite";
    ASSERT_TRUE(QFile::rename(file, target));
    ASSERT_TRUE(QFile::link(target, file));
    DataController{}; // NOLINT(bugprone-unused-raii): opening the store is what changes the modes
    EXPECT_EQ(modeOf(target), 0644);
    ::umask(umaskBefore);
}

// Files of every older schema (the third made by taking the pieces table away)
// reach the current one in one transaction, keeping their rows and indexing
// them for search; a failed migration changes nothing.
TEST(StoreSave, OlderFilesAreMigratedInOneTransaction)
{
    const QByteArray firstSchema =
        "CREATE TABLE assistant (pk INTEGER PRIMARY KEY, id TEXT, name TEXT, personality TEXT, intro TEXT,"
        " profile_picture_url TEXT, version INTEGER NOT NULL DEFAULT 0, deleted_at INTEGER);"
        "CREATE TABLE conversation (pk INTEGER PRIMARY KEY, id TEXT, created_at INTEGER, updated_at INTEGER,"
        " assistant_pk INTEGER);"
        "CREATE TABLE message (pk INTEGER PRIMARY KEY, id TEXT, role TEXT, content TEXT, done INTEGER NOT NULL"
        " DEFAULT 0, function_name TEXT, function_arguments TEXT, function_result TEXT, updated_at INTEGER,"
        " conversation_pk INTEGER);"
        "CREATE INDEX message_by_conversation ON message(conversation_pk);";
    const QByteArray secondSchema =
        firstSchema
        + "ALTER TABLE message ADD COLUMN reasoning TEXT; ALTER TABLE message ADD COLUMN prompt_tokens INTEGER;"
          "ALTER TABLE message ADD COLUMN completion_tokens INTEGER; ALTER TABLE message ADD COLUMN reasoning_tokens "
          "INTEGER;"
          "ALTER TABLE message ADD COLUMN thinking_ms INTEGER; ALTER TABLE message ADD COLUMN reply_ms INTEGER;";
    const QByteArray rows =
        "INSERT INTO conversation (pk, id) VALUES (1, '6f1c1f4e-8a59-4bd5-a3a5-0d0c1d0e0f10');"
        "INSERT INTO message (role, content, done, conversation_pk) VALUES ('assistant', 'Four.', 1, 1);";
    const struct {
        int version;
        QByteArray schema, clash;
    } cases[] = {
        {1, firstSchema, ""},
        {1, firstSchema, "ALTER TABLE message ADD COLUMN reply_ms TEXT;"},
        {2, secondSchema, ""},
        {2, secondSchema, "CREATE TABLE message_search(x);"},
        {3, "DROP TRIGGER message_piece_delete; DROP TABLE message_piece;", ""},
        {3, "DROP TRIGGER message_piece_delete; DROP TABLE message_piece;", "CREATE TABLE message_piece(x);"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = dir.path() + QStringLiteral("/%1.sqlite").arg(&c - cases);
        if (c.version == 3)
            DataController{path};
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        const QByteArray version = "PRAGMA user_version=" + QByteArray::number(c.version) + ";";
        sqlite3_exec(db, (c.schema + rows + c.clash + version).constData(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        CaptureStdout();
        DataController controller(path);
        GetCapturedStdout();
        ASSERT_EQ(controller.isPersistent(), c.clash.isEmpty());
        if (!c.clash.isEmpty()) {
            EXPECT_EQ(queryFile(path, "PRAGMA user_version"), c.version);
            EXPECT_EQ(queryFile(path, "SELECT count(*) FROM pragma_table_info('conversation') WHERE name = 'title'"),
                      c.version >= 3 ? 1 : 0);
            continue;
        }
        const ConversationPtr conversation =
            controller.storeContext().conversationWithId(QUuid("6f1c1f4e-8a59-4bd5-a3a5-0d0c1d0e0f10"));
        ASSERT_TRUE(conversation && conversation->messages().size() == 1);
        const MessagePtr reply = conversation->messages().front();
        EXPECT_EQ(reply->content(), "Four.");
        EXPECT_FALSE(reply->reasoning() || reply->completionTokens() || conversation->title());
        EXPECT_EQ(ConversationSearch::search(controller.storeContext().database().handle(), "four")->size(), 1u);
        reply->setCompletionTokens(1234);
        EXPECT_TRUE(saveChanges(controller.storeContext()));
        EXPECT_EQ(queryFile(path, "PRAGMA user_version"), SqliteStore::schemaVersion);
        EXPECT_EQ(queryFile(path, "SELECT completion_tokens FROM message"), 1234);
    }
}
