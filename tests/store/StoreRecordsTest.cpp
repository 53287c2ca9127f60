#include "StoreTestSupport.h"

#include "store/StoreOperations.h"

#include <gtest/gtest.h>

TEST(StoreRecords, EveryAttributeSurvivesReopen)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    AssistantPtr assistant = createAssistant(context, "Ada", "", "https://example.com/ada.png", "Hello there");
    assistant->setVersion(-32768);
    AssistantPtr noPicture = createAssistant(context, "Bo", "Calm", "http://[bad");
    ConversationPtr conversation = createConversation(context, assistant);
    MessagePtr call = makeMessage(context, "assistant", "", conversation, QString("jsExecution"), false);
    call->setFunctionArguments(QString("{\"script\":\"1+1\"}"));
    call->setFunctionResult(QString("2"));
    call->setDone(true);
    MessagePtr bare = makeMessage(context, "user", "ü ✓ 🚀", conversation, std::nullopt, true);
    bare->setContent(std::nullopt);
    ASSERT_TRUE(saveContext(context));

    const QUuid assistantId = *assistant->id();
    const QUuid conversationId = *conversation->id();
    store.reopen();
    StoreContext& reopened = store.context();

    const auto assistants = reopened.assistants();
    ASSERT_EQ(assistants.size(), 2u);
    EXPECT_EQ(assistants[0]->id(), assistantId);
    EXPECT_EQ(assistants[0]->name(), QString("Ada"));
    // Empty and null stay apart.
    ASSERT_TRUE(assistants[0]->personality().has_value());
    EXPECT_TRUE(assistants[0]->personality()->isEmpty());
    EXPECT_EQ(assistants[0]->intro(), QString("Hello there"));
    EXPECT_EQ(assistants[0]->profilePictureUrl(), QUrl("https://example.com/ada.png"));
    EXPECT_EQ(assistants[0]->version(), -32768);
    EXPECT_FALSE(assistants[0]->deletedAt().has_value());
    EXPECT_FALSE(assistants[1]->intro().has_value());
    EXPECT_FALSE(assistants[1]->profilePictureUrl().has_value());

    ConversationPtr loaded = reopened.conversationWithId(conversationId);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->assistant(), assistants[0]);
    EXPECT_EQ(loaded->createdAt(), conversation->createdAt());
    EXPECT_LE(*loaded->updatedAt(), *loaded->createdAt());

    const auto messages = orderedMessages(*loaded);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]->id(), call->id());
    EXPECT_EQ(messages[0]->role(), QString("assistant"));
    EXPECT_EQ(messages[0]->content(), QString(""));
    EXPECT_TRUE(messages[0]->done());
    EXPECT_EQ(messages[0]->functionName(), QString("jsExecution"));
    EXPECT_EQ(messages[0]->functionArguments(), QString("{\"script\":\"1+1\"}"));
    EXPECT_EQ(messages[0]->functionResult(), QString("2"));
    EXPECT_EQ(messages[0]->updatedAt(), call->updatedAt());
    EXPECT_EQ(messages[1]->conversation(), loaded);
    EXPECT_FALSE(messages[1]->content().has_value());
    EXPECT_FALSE(messages[1]->functionName().has_value());
}

TEST(StoreRecords, MessagesOfSameTickKeepCreationOrderAcrossReopen)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    ConversationPtr conversation = createConversation(context, nullptr);
    const QDateTime tick = QDateTime::currentDateTimeUtc();
    std::vector<QUuid> created;
    for (int i = 0; i < 20; ++i) {
        MessagePtr m = makeMessage(context, i % 2 ? "assistant" : "user", QString::number(i), conversation, std::nullopt, true);
        m->setUpdatedAt(tick);
        created.push_back(*m->id());
    }
    MessagePtr undated = makeMessage(context, "user", "undated", conversation, std::nullopt, true);
    undated->setUpdatedAt(std::nullopt);
    MessagePtr older = makeMessage(context, "user", "older", conversation, std::nullopt, true);
    older->setUpdatedAt(tick.addSecs(-60));
    ASSERT_TRUE(saveContext(context));

    for (int pass = 0; pass < 2; ++pass) {
        ConversationPtr c = store.context().conversationWithId(*conversation->id());
        const auto ordered = orderedMessages(*c);
        ASSERT_EQ(ordered.size(), 22u);
        EXPECT_EQ(ordered.front()->content(), QString("older"));
        EXPECT_EQ(ordered.back()->content(), QString("undated"));
        for (size_t i = 0; i < created.size(); ++i)
            EXPECT_EQ(ordered[i + 1]->id(), created[i]) << "position " << i;
        store.reopen();
    }
}

TEST(StoreRecords, DeletingConversationRemovesItsMessagesOnly)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    ConversationPtr doomed = createConversation(context, nullptr);
    ConversationPtr kept = createConversation(context, nullptr);
    MessagePtr held = makeMessage(context, "user", "bye", doomed, std::nullopt, true);
    makeMessage(context, "user", "stay", kept, std::nullopt, true);
    saveContext(context);

    deleteConversation(context, doomed);
    EXPECT_TRUE(held->isDeleted());
    held->appendContent(" again"); // a late stream piece must be harmless
    EXPECT_FALSE(context.hasChanges());

    store.reopen();
    ASSERT_EQ(store.context().conversations().size(), 1u);
    EXPECT_EQ(store.context().conversations()[0]->id(), kept->id());
    EXPECT_EQ(store.context().conversations()[0]->messages().size(), 1u);
    // Gone from the file too, not only from the list.
    EXPECT_EQ(store.context().database().largestKey("message"), 2);
}

TEST(StoreRecords, SoftDeletedAssistantKeepsItsConversations)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    AssistantPtr assistant = createAssistant(context, "Gone", "p", "https://example.com/g.png");
    ConversationPtr conversation = createConversation(context, assistant);
    softDeleteAssistants(context, {assistant});
    store.reopen();
    const auto assistants = fetchAllAssistants(store.context());
    ASSERT_EQ(assistants.size(), 1u);
    EXPECT_TRUE(assistants[0]->deletedAt().has_value());
    ASSERT_EQ(store.context().conversations().size(), 1u);
    EXPECT_EQ(store.context().conversations()[0]->assistant()->name(), QString("Gone"));
}

TEST(StoreRecords, MessagesAddedBeforeFirstReadJoinStoredOnes)
{
    TemporaryStore store;
    ConversationPtr conversation = createConversation(store.context(), nullptr);
    makeMessage(store.context(), "user", "first", conversation, std::nullopt, true);
    saveContext(store.context());
    store.reopen();
    ConversationPtr c = store.context().conversations()[0];
    makeMessage(store.context(), "user", "second", c, std::nullopt, true);
    const auto ordered = orderedMessages(*c);
    ASSERT_EQ(ordered.size(), 2u);
    EXPECT_EQ(ordered[0]->content(), QString("first"));
    EXPECT_EQ(ordered[1]->content(), QString("second"));
}
