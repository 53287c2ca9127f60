#include "MainWindowFixture.h"
#include "store/StoreOperations.h"
#include "ui/mainwindow/MainWindowFactory.h"

#include <QDir>
#include <QLocale>
#include <QSignalSpy>

namespace {

QQuickItem* card(QQuickWindow* window, const QString& name)
{
    for (int i = 0; QQuickItem* card = item(window, QStringLiteral("assistantCard_%1").arg(i)); ++i)
        if (card->property("text").toString() == name)
            return card;
    return nullptr;
}

QString rowTitle(QQuickWindow* window, int row)
{
    QQuickItem* found = item(window, QStringLiteral("conversationRow_%1").arg(row));
    return found ? found->property("text").toString() : QString();
}

} // namespace

TEST_F(MainWindowTest, DeletingKeepsTheSelectionUnlessTheSelectedOneGoes)
{
    ConversationPtr older = createConversation(store(), nullptr);
    ConversationPtr newer = createConversation(store(), nullptr);
    ConversationPtr newest = createConversation(store(), nullptr);
    QQuickWindow* window = open();
    click(window, item(window, "conversationRow_1"));
    EXPECT_EQ(uiState().selectedConversation(), newer->id());
    // The context menu of another row deletes that row only.
    click(window, item(window, "conversationRow_0"), Qt::RightButton);
    QQuickItem* deleteItem = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (deleteItem = item(window, "deleteMenuItem")) && deleteItem->window(); }));
    click(window, deleteItem);
    EXPECT_EQ(store().conversations().size(), 2u);
    EXPECT_EQ(uiState().selectedConversation(), newer->id());
    EXPECT_EQ(store().conversationWithId(*newest->id()), nullptr);
    // After a click on a row, typing goes to the prompt, which keeps its own Delete.
    click(window, item(window, "conversationRow_0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(window, "promptField")->hasActiveFocus(); }));
    keyClicks(window, "hi");
    QTest::keyClick(window, Qt::Key_Delete);
    EXPECT_EQ(item(window, "promptField")->property("text").toString(), "hi");
    EXPECT_EQ(uiState().selectedConversation(), newer->id());
    // Shift+F10 in the list opens the selected row's menu; Delete there and the trash button delete it.
    item(window, "conversationList")->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (deleteItem = item(window, "deleteMenuItem")) && deleteItem->isVisible(); }));
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(window, "conversationList")->hasActiveFocus(); }));
    QTest::keyClick(window, Qt::Key_Delete);
    EXPECT_FALSE(uiState().selectedConversation().has_value());
    EXPECT_EQ(store().conversationWithId(*newer->id()), nullptr);
    uiState().setSelectedConversation(older->id());
    click(window, item(window, "deleteConversationButton"));
    EXPECT_FALSE(uiState().selectedConversation().has_value());
    EXPECT_TRUE(store().conversations().empty());
    EXPECT_FALSE(store().hasChanges()); // saved
}

TEST_F(MainWindowTest, RowsAndCardsNameTheirAssistantAndACardStartsTheNewestConversation)
{
    AssistantPtr gone = createAssistant(store(), QStringLiteral("Gone"), QString(), QString());
    createAssistant(store(), QString(), QString(), QString()); // a card without a name
    createAssistant(store(), QStringLiteral("Ada"), QStringLiteral("Be brief."), QString(),
                    QStringLiteral("Short answers"));
    ConversationPtr withGone = createConversation(store(), gone);
    createConversation(store(), nullptr);
    softDeleteAssistants(store(), {gone});
    saveChanges(store());
    QQuickWindow* window = open();
    EXPECT_EQ(rowTitle(window, 0), "unknown");
    EXPECT_EQ(rowTitle(window, 1), "Gone"); // a soft-deleted assistant still names its conversations
    EXPECT_EQ(card(window, "Gone"), nullptr);
    EXPECT_NE(card(window, "Unknown"), nullptr);
    auto* subtitle = item(window, "conversationRow_1")->findChild<QQuickItem*>("profileSubHeadline");
    ASSERT_TRUE(subtitle);
    EXPECT_EQ(subtitle->property("text").toString(),
              "Gone · " + QLocale().toString(withGone->updatedAt()->toLocalTime(), QLocale::ShortFormat));
    QQuickItem* recipient = item(window, "recipientLabel");
    ASSERT_TRUE(recipient);
    EXPECT_FALSE(recipient->isVisible()); // nothing selected: the form
    click(window, card(window, "Ada"));
    EXPECT_EQ(rowTitle(window, 0), "Ada");
    ASSERT_TRUE(QTest::qWaitFor([&] { return uiState().selectedConversation().has_value(); }, 2000));
    EXPECT_EQ(uiState().selectedConversation(), store().conversations().back()->id());
    EXPECT_TRUE(recipient->isVisible());
    EXPECT_EQ(recipient->property("text").toString(), "Ada");
    // A selection that matches no row shows the form.
    uiState().setSelectedConversation(QUuid::createUuid());
    EXPECT_FALSE(recipient->isVisible());
}

TEST_F(MainWindowTest, WindowsShareTheSelectionAndEachRefreshesTheCatalogue)
{
    ConversationPtr older = createConversation(store(), nullptr);
    ConversationPtr newer = createConversation(store(), nullptr);
    QSignalSpy refreshes(m_app.get(), &VorbelApplication::catalogueRefreshStarted);
    QSignalSpy refreshed(m_app.get(), &VorbelApplication::catalogueRefreshed);
    QQuickWindow* first = open();
    QMetaObject::invokeMethod(find(first, "newWindowAction"), "trigger");
    ASSERT_EQ(m_app->mainWindows().windows().size(), 2);
    QQuickWindow* second = m_app->mainWindows().windows().last();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(second));
    EXPECT_EQ(find(first, "menuBar")->property("count"), 1); // no feed: no "Check for Updates…", no Help menu
    click(second, item(second, "conversationRow_1"));
    EXPECT_EQ(uiState().selectedConversation(), older->id());
    EXPECT_TRUE(item(first, "conversationRow_1")->property("highlighted").toBool());
    EXPECT_EQ(item(first, "recipientLabel")->property("text").toString(), "Unknown");
    for (int repeat = 0; repeat < 2; ++repeat) { // the second time nothing is selected: nothing changes
        QMetaObject::invokeMethod(find(first, "newConversationAction"), "trigger");
        EXPECT_FALSE(uiState().selectedConversation().has_value());
        EXPECT_FALSE(item(second, "conversationRow_1")->property("highlighted").toBool());
    }
    EXPECT_EQ(refreshes.count(), 2); // one per shown window; together they add each assistant once
    ASSERT_TRUE(QTest::qWaitFor([&] { return refreshed.count() == 2; }, 5000));
    QStringList names;
    for (const AssistantPtr& assistant : store().assistants())
        names << assistant->name().value_or(QString());
    EXPECT_GE(names.size(), 5);
    EXPECT_EQ(names.removeDuplicates(), 0);
}

TEST_F(MainWindowTest, AnUnopenableStoreIsAnnounced)
{
    m_app.reset();
    const QString path = DataController::defaultDatabasePath();
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the database file should be
    m_app = std::make_unique<VorbelApplication>();
    QQuickWindow* window = open();
    QQuickItem* bar = item(window, "storeWarningBar");
    ASSERT_TRUE(bar && bar->isVisible());
    EXPECT_TRUE(bar->findChild<QQuickItem*>()->property("text").toString().contains(QDir::toNativeSeparators(path)));
}

TEST_F(MainWindowTest, WindowGeometrySurvivesARestart)
{
    QQuickWindow* window = open();
    EXPECT_EQ(window->size(), QSize(1100, 720)); // nothing stored yet
    window->setGeometry(40, 50, 900, 600);
    window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_app->mainWindows().windows().isEmpty(); }));
    window = open();
    EXPECT_EQ(window->geometry(), QRect(40, 50, 900, 600));
}
