#include "StoreTestSupport.h"

namespace {

auto fields(const Assistant& a)
{
    return std::tuple(a.id(), a.name(), a.personality(), a.intro(), a.profilePictureUrl(), a.version(), a.deletedAt());
}

auto fields(const Message& m)
{
    return std::tuple(m.id(), m.role(), m.content(), m.done(), m.functionName(), m.functionArguments(),
                      m.functionResult(), m.updatedAt());
}

} // namespace

TEST(StoreRecords, EveryAttributeSurvivesReopen)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    AssistantPtr ada = createAssistant(context, "Ada", "", "https://example.com/ada.png", "Hello there");
    ada->setVersion(-32768);
    AssistantPtr hidden = createAssistant(context, "Bo", "Calm", "http://[bad");
    ConversationPtr conversation = createConversation(context, ada);
    createConversation(context, hidden);
    softDeleteAssistants(context, {hidden});
    MessagePtr call = makeMessage(context, "assistant", "", conversation, QString("jsExecution"), false);
    call->setFunctionArguments(QString("{\"script\":\"1+1\"}"));
    call->setFunctionResult(QString("2"));
    call->setDone(true);
    MessagePtr bare = makeMessage(context, "user", "ü ✓ 🚀", conversation, std::nullopt, true);
    bare->setContent(std::nullopt);
    ASSERT_TRUE(saveChanges(context));

    store.reopen();
    const auto assistants = allAssistants(store.context());
    ASSERT_EQ(assistants.size(), 2u);
    EXPECT_EQ(fields(*assistants[0]), fields(*ada));
    EXPECT_EQ(fields(*assistants[1]), fields(*hidden));
    EXPECT_FALSE(hidden->intro() || hidden->profilePictureUrl());
    EXPECT_EQ(store.context().conversations().at(1)->assistant(), assistants[1]);
    ConversationPtr loaded = store.context().conversationWithId(*conversation->id());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->assistant(), assistants[0]);
    EXPECT_EQ(loaded->createdAt(), conversation->createdAt());
    EXPECT_LE(*loaded->updatedAt(), *loaded->createdAt());
    const auto messages = orderedMessages(*loaded);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(fields(*messages[0]), fields(*call));
    EXPECT_EQ(fields(*messages[1]), fields(*bare));
    EXPECT_EQ(messages[1]->conversation(), loaded);
}

// The second store stands for the command-line tool writing the same file.
TEST(StoreRecords, MessagesOfSameTickKeepCreationOrderBesideASecondWriter)
{
    TemporaryStore store;
    ConversationPtr conversation = createConversation(store.context(), nullptr);
    const QDateTime tick = QDateTime::currentDateTimeUtc();
    std::vector<QUuid> created;
    const auto add = [&](const ConversationPtr& c) {
        MessagePtr m = makeMessage(store.context(), "user", QString::number(created.size()), c, std::nullopt, true);
        m->setUpdatedAt(tick);
        created.push_back(*m->id());
    };
    for (int i = 0; i < 10; ++i)
        add(conversation);
    makeMessage(store.context(), "user", "undated", conversation, std::nullopt, true)->setUpdatedAt(std::nullopt);
    makeMessage(store.context(), "user", "older", conversation, std::nullopt, true)->setUpdatedAt(tick.addSecs(-60));
    {
        DataController tool(store.path());
        for (int i = 0; i < 3; ++i)
            makeMessage(tool.storeContext(), "user", "theirs", createConversation(tool.storeContext(), nullptr),
                        std::nullopt, true);
        ASSERT_TRUE(saveChanges(tool.storeContext()));
    }
    ASSERT_TRUE(saveChanges(store.context()));
    store.reopen();
    for (int i = 0; i < 10; ++i)
        add(store.context().conversationWithId(*conversation->id()));
    ASSERT_TRUE(saveChanges(store.context()));
    EXPECT_EQ(queryFile(store.path(), "SELECT count(*) FROM message"), 25);

    for (int pass = 0; pass < 2; ++pass) {
        const auto ordered = orderedMessages(*store.context().conversationWithId(*conversation->id()));
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
    makeMessage(context, "user", "bye too", doomed, std::nullopt, true);
    makeMessage(context, "user", "stay", kept, std::nullopt, true);
    saveChanges(context);

    deleteConversation(context, doomed);
    EXPECT_TRUE(held->isDeleted());
    held->appendContent(" again"); // a late stream piece must be harmless
    EXPECT_FALSE(context.hasChanges());
    store.reopen();
    ASSERT_EQ(store.context().conversations().size(), 1u);
    EXPECT_EQ(store.context().conversations()[0]->id(), kept->id());
    EXPECT_EQ(queryFile(store.path(), "SELECT count(*) FROM message"), 1);
    EXPECT_EQ(queryFile(store.path(), "SELECT count(*) FROM message WHERE content = 'stay'"), 1);

    // Late pieces of a reply whose row another process removed are not kept for the next row given its key.
    MessagePtr late = makeMessage(store.context(), "assistant", "", store.context().conversations()[0], {}, false);
    ASSERT_TRUE(saveChanges(store.context()));
    DataController other(store.path());
    deleteConversation(other.storeContext(), other.storeContext().conversations().at(0));
    late->appendContent("late");
    EXPECT_TRUE(saveChanges(store.context()));
    EXPECT_EQ(queryFile(store.path(), "SELECT count(*) FROM message_piece"), 0);
}
