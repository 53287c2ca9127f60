#include "StoreTestSupport.h"

#include "store/ListModels.h"

#include <QSignalSpy>
#include <QTest>

TEST(ListModels, MessageChangeTouchesOneRowAndSameTickKeepsOrder)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    ConversationPtr conversation = createConversation(context, nullptr);
    ConversationPtr other = createConversation(context, nullptr);
    MessageListModel model(context, conversation);
    watch(&model);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    const QDateTime tick = QDateTime::currentDateTimeUtc();
    MessagePtr user = makeMessage(context, "user", "Hi", conversation, std::nullopt, true);
    MessagePtr reply = makeMessage(context, "assistant", "", conversation, std::nullopt, false);
    user->setUpdatedAt(tick);
    reply->setUpdatedAt(tick);
    MessagePtr elsewhere = makeMessage(context, "user", "elsewhere", other, std::nullopt, true);
    EXPECT_EQ(column(model), QStringList({"Hi", ""}));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    reply->appendContent("Hel");
    elsewhere->appendContent(" and on");
    reply->appendContent("lo");
    ASSERT_EQ(changed.count(), 2);
    for (const auto& args : changed)
        EXPECT_EQ(args.at(0).value<QModelIndex>().row() + args.at(1).value<QModelIndex>().row(), 2);
    EXPECT_EQ(column(model), QStringList({"Hi", "Hello"}));
    reply->setUpdatedAt(tick.addSecs(-1));
    EXPECT_EQ(column(model), QStringList({"Hello", "Hi"}));
    deleteConversation(context, conversation);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(resets.count(), 0);
}

// A second store on the file stands for the command-line tool; what this side
// has not saved yet stays as this side has it. A hidden assistant leaves its
// list but its conversations stay with its name.
TEST(ListModels, OpenListsFollowAnotherProcess)
{
    TemporaryStore app;
    StoreContext& context = app.context();
    AssistantPtr ada = createAssistant(context, "Ada", "p", "");
    ConversationPtr open = createConversation(context, ada);
    ConversationPtr doomed = createConversation(context, nullptr);
    makeMessage(context, "user", "Hi", open, std::nullopt, true);
    MessagePtr edited = makeMessage(context, "user", "mine", open, std::nullopt, true);
    saveChanges(context);
    ConversationListModel conversations(context);
    AssistantListModel assistants(context);
    MessageListModel messages(context, open);
    for (QAbstractItemModel* model : std::initializer_list<QAbstractItemModel*>{&conversations, &assistants, &messages})
        watch(model);
    QSignalSpy resets(&messages, &QAbstractItemModel::modelReset);
    EXPECT_FALSE(context.mergeExternalChanges()); // its own saves bring nothing in

    DataController tool(app.path());
    StoreContext& other = tool.storeContext();
    ConversationPtr theirOpen = other.conversationWithId(*open->id());
    MessagePtr reply = makeMessage(other, "assistant", "Hel", theirOpen, std::nullopt, false);
    reply->setUpdatedAt(edited->updatedAt()); // a tie goes to the older record, here and after the merge
    orderedMessages(*theirOpen).at(1)->setContent(QString("theirs"));
    createConversation(other, createAssistant(other, "Bea", "p", ""));
    allAssistants(other).at(0)->setName(QString("Zoe"));
    softDeleteAssistants(other, {allAssistants(other).at(0)});
    deleteConversation(other, other.conversationWithId(*doomed->id()));
    edited->appendContent(", unsaved");
    ASSERT_TRUE(saveChanges(other));

    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.rowCount() == 3; }, 1000));
    EXPECT_EQ(column(messages), QStringList({"Hi", "mine, unsaved", "Hel"}));
    EXPECT_EQ(column(assistants), QStringList({"Bea"}));
    EXPECT_EQ(column(conversations), QStringList({"Bea", "Zoe"}));
    EXPECT_TRUE(doomed->isDeleted());

    reply->appendContent("lo");
    reply->setDone(true);
    ASSERT_TRUE(saveChanges(other));
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.index(2, 0).data(DoneRole).toBool(); }, 1000));
    EXPECT_EQ(messages.index(2, 0).data(ContentRole).toString(), "Hello");
    EXPECT_EQ(resets.count(), 0);
    ASSERT_TRUE(saveChanges(context));
    EXPECT_EQ(queryFile(app.path(), "SELECT count(*) FROM message WHERE content = 'mine, unsaved'"), 1);
}
