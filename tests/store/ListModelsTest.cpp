#include "StoreTestSupport.h"

#include "store/ListModels.h"
#include "store/StoreOperations.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

QStringList column(const QAbstractItemModel& model, int role = Qt::DisplayRole)
{
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values << model.index(row, 0).data(role).toString();
    return values;
}

void watch(QAbstractItemModel* model)
{
    new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
}

} // namespace

TEST(ListModels, AssistantsVisibleByNameFollowEdits)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    createAssistant(context, "Mia", "p", "https://e.com/m.png");
    AssistantPtr zed = createAssistant(context, "Zed", "p", "https://e.com/z.png");
    AssistantListModel model(context);
    watch(&model);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    createAssistant(context, "Ann", "p", "https://e.com/a.png");
    createAssistant(context, "Mia", "twin", "https://e.com/m2.png");
    EXPECT_EQ(column(model), QStringList({"Ann", "Mia", "Mia", "Zed"}));

    zed->setName(QString("Bea"));
    EXPECT_EQ(column(model), QStringList({"Ann", "Bea", "Mia", "Mia"}));
    softDeleteAssistants(context, {zed});
    EXPECT_EQ(column(model), QStringList({"Ann", "Mia", "Mia"}));
    // A hidden assistant that keeps being updated stays hidden.
    zed->setIntro(QString("updated by the catalogue"));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(resets.count(), 0);
}

TEST(ListModels, ConversationsNewestFirstAndKeptWhenAssistantHidden)
{
    TemporaryStore store;
    StoreContext& context = store.context();
    AssistantPtr assistant = createAssistant(context, "Ada", "p", "https://e.com/a.png");
    ConversationPtr first = createConversation(context, assistant);
    first->setCreatedAt(first->createdAt()->addSecs(-10));
    ConversationListModel model(context);
    watch(&model);

    ConversationPtr second = createConversation(context, nullptr);
    ConversationPtr third = createConversation(context, assistant);
    EXPECT_EQ(model.recordAt(0), third);
    EXPECT_EQ(model.recordAt(1), second);
    EXPECT_EQ(model.recordAt(2), first);

    softDeleteAssistants(context, {assistant});
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(2, 0).data().toString(), "Ada");

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    deleteConversation(context, second);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(model.rowCount(), 2);
}

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
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(column(model), QStringList({"Hi", ""}));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    reply->appendContent("Hel");
    elsewhere->appendContent(" and on"); // another conversation's stream: not ours
    reply->appendContent("lo");
    ASSERT_EQ(changed.count(), 2);
    for (const auto& args : changed) {
        EXPECT_EQ(args.at(0).value<QModelIndex>().row(), 1);
        EXPECT_EQ(args.at(1).value<QModelIndex>().row(), 1);
    }
    EXPECT_EQ(column(model), QStringList({"Hi", "Hello"}));

    // An older time moves the message up.
    reply->setUpdatedAt(tick.addSecs(-1));
    EXPECT_EQ(column(model), QStringList({"Hello", "Hi"}));
    EXPECT_EQ(resets.count(), 0);

    deleteConversation(context, conversation);
    EXPECT_EQ(model.rowCount(), 0);
}
