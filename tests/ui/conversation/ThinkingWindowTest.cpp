#include "MainWindowFixture.h"
#include "store/StoreOperations.h"
#include "support/ChatCompletionStream.h"

#include <QRegularExpression>

using namespace Sse;

class ThinkingWindowTest : public MainWindowTest {};

// The folded block of a reasoning model's thinking, and the usage line.
TEST_F(ThinkingWindowTest, TheBlockSaysHowTheThinkingWentUnfoldsByPressOrKeyAndTheUsageShowsOnHover)
{
    Settings::instance().setText(Settings::modelKey, "deepseek-r1");
    const ConversationPtr conversation = createConversation(store(), createAssistant(store(), "Ada", "", ""));
    const ConversationPtr other = createConversation(store(), createAssistant(store(), "Bob", "", ""));
    uiState().setSelectedConversation(conversation->id());
    QQuickWindow* window = open();
    const auto inRow = [&](int row, const char* name) {
        QQuickItem* message = item(window, QStringLiteral("message_%1").arg(row));
        return message ? message->findChild<QQuickItem*>(name) : nullptr;
    };
    const auto shows = [&](int row, const char* name) { return inRow(row, name) && inRow(row, name)->isVisible(); };
    const auto label = [&](int row) {
        return shows(row, "thinkingHeader") ? inRow(row, "thinkingHeader")->property("text").toString() : QString();
    };

    ScriptedResponse slow = ScriptedResponse::sse({thinking("Two and two")});
    slow.pieces << qMakePair(10000, content("never"));
    server.enqueue(slow);
    type(window, item(window, "promptField"), "2+2?");
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(1) == "Thinking…"; }, 5000));
    EXPECT_TRUE(shows(1, "thinkingBusyIndicator"));
    EXPECT_FALSE(shows(1, "messagePlaceholder") || shows(1, "thinkingText")); // folded at first
    EXPECT_EQ(QAccessible::queryAccessibleInterface(inRow(1, "thinkingHeader"))->text(QAccessible::Name), "Thinking…");
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(1) == "Stopped while thinking"; }, 5000));
    EXPECT_FALSE(shows(1, "thinkingBusyIndicator"));

    server.enqueue(
        ScriptedResponse::sse({thinking("Three"), content("Six."), chunk({}, "stop"), usage(1, 1234, 1), done}));
    type(window, item(window, "promptField"), "3+3?");
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(3).startsWith("Thought"); }, 5000));
    EXPECT_TRUE(QRegularExpression("^Thought for (1 second|\\d+ seconds)$").match(label(3)).hasMatch())
        << label(3).toStdString();
    click(window, inRow(3, "thinkingHeader"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows(3, "thinkingText"); }));
    EXPECT_EQ(inRow(3, "thinkingText")->property("text").toString(), "Three");
    EXPECT_EQ(inRow(3, "thinkingText")->property("textFormat").toInt(), int(Qt::PlainText));
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) { // each folds or unfolds it again
        inRow(3, "thinkingHeader")->forceActiveFocus();
        QTest::keyClick(window, key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return shows(3, "thinkingText") == (key == Qt::Key_Return); }));
    }

    // The usage line: under the reply while the keyboard is in it or the mouse over it.
    QQuickItem* line = inRow(3, "usageLine");
    const QString usage = line->property("text").toString();
    EXPECT_TRUE(QRegularExpression("^1,234 tokens( · [\\d,]+ tokens/s)?$").match(usage).hasMatch())
        << usage.toStdString();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(inRow(3, "messageText"))->text(QAccessible::Description), usage);
    EXPECT_TRUE(line->isVisible());
    item(window, "promptField")->forceActiveFocus();
    QTest::mouseMove(window, item(window, "promptField")->mapToScene(QPointF(5, 5)).toPoint());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !line->isVisible(); }));
    QQuickItem* bubble = inRow(3, "bubble");
    QTest::mouseMove(window, bubble->mapToScene(QPointF(bubble->width() / 2, bubble->height() / 2)).toPoint());
    EXPECT_TRUE(QTest::qWaitFor([&] { return line->isVisible(); }));
    EXPECT_TRUE(inRow(2, "usageLine")->property("text").toString().isEmpty()); // the user's own message

    // The unfolding is remembered for the message when its row is made anew.
    uiState().setSelectedConversation(other->id());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !inRow(3, "thinkingHeader"); }));
    uiState().setSelectedConversation(conversation->id());
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(3).startsWith("Thought"); }, 5000));
    EXPECT_TRUE(shows(3, "thinkingText"));
    EXPECT_FALSE(shows(1, "thinkingText"));
}
