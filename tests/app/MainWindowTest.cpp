#include "app/VorbelApplication.h"
#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QListView>
#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(MainWindow, SelectionNewConversationAndSecondWindow)
{
    unsetenv("VORBEL_UPDATE_FEED_URL");
    unsetenv("VORBEL_CATALOGUE_URL");
    VorbelApplication app;
    StoreContext& context = app.viewContext();
    ConversationPtr older = createConversation(context, nullptr);
    ConversationPtr newer = createConversation(context, nullptr);

    QSignalSpy shown(&app, &VorbelApplication::catalogueRefreshStarted);
    QSignalSpy refreshed(&app, &VorbelApplication::catalogueRefreshed);
    auto* window = new MainWindow(app.mainWindowServices());
    window->show();
    EXPECT_FALSE(window->checkForUpdatesAction()->isEnabled());

    app.uiState().setSelectedConversation(older->id());
    EXPECT_EQ(window->conversationList()->currentIndex().row(), 1);

    // Choosing a row in the list selects it for every window.
    auto* second = new MainWindow(app.mainWindowServices());
    second->show();
    second->conversationList()->setCurrentIndex(second->conversationList()->model()->index(0, 0));
    EXPECT_EQ(app.uiState().selectedConversation(), newer->id());
    EXPECT_EQ(window->conversationList()->currentIndex().row(), 0);

    window->newConversationAction()->trigger();
    EXPECT_FALSE(app.uiState().selectedConversation().has_value());
    EXPECT_FALSE(second->conversationList()->currentIndex().isValid());
    window->newConversationAction()->trigger(); // nothing selected: nothing changes
    EXPECT_FALSE(app.uiState().selectedConversation().has_value());

    EXPECT_EQ(shown.count(), 2); // one catalogue refresh per shown window
    // Without a catalogue address the built-in one is merged; two refreshes add nothing twice.
    while (refreshed.count() < 2)
        ASSERT_TRUE(refreshed.wait(5000));
    AssistantListModel assistants(context);
    EXPECT_GE(assistants.rowCount(), 5);
    QStringList names;
    for (int row = 0; row < assistants.rowCount(); ++row)
        names << assistants.index(row, 0).data().toString();
    EXPECT_EQ(names.removeDuplicates(), 0);
    delete second;
    delete window;
}
