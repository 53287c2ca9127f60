// Replies built to freeze the window: each leaves the event loop answering and says what is cut.
#include "MainWindowFixture.h"
#include "store/StoreOperations.h"

#include <QDeadlineTimer>
#include <QTimer>

class HostileReplyWindowTest : public MainWindowTest {};

static QString wideTable()
{
    QString header, row;
    for (int column = 1; column <= 100; ++column) {
        header += QStringLiteral("| h%1 ").arg(column);
        row += QStringLiteral("| a%1 ").arg(column);
    }
    return header + "|\n" + QStringLiteral("|---").repeated(100) + "|\n" + row + "|\n";
}

TEST_F(HostileReplyWindowTest, HostileRepliesLeaveTheWindowAnsweringAndSayWhatIsCut)
{
    const struct {
        const char* name;
        QString reply;
        const char* shown; // the item that tells the user
        bool showsAllAsText;
    } cases[] = {
        {"a 100-column table", wideTable(), "tableNote", false},
        {"a 300 KiB line", QString(300 * 1024, QLatin1Char('w')), "oversizedNote", true},
    };
    ConversationPtr conversation = createConversation(store(), createAssistant(store(), "Ada", "Be brief.", QString()));
    uiState().setSelectedConversation(conversation->id());
    QQuickWindow* window = open();
    const auto shownAsText = [&] {
        QString shown;
        for (QObject* chunk : findAll(window, "oversizedChunk"))
            shown += chunk->property("text").toString();
        return shown;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settle(window);
        // A hang check with a generous bound, not a benchmark: a timer posted once the reply is drawn gets its turn.
        const QDeadlineTimer deadline(1000);
        makeMessage(store(), QStringLiteral("assistant"), c.reply, conversation, std::nullopt, true);
        saveChanges(store());
        settle(window);
        std::optional<bool> inTime;
        QTimer::singleShot(0, window, [&] { inTime = !deadline.hasExpired(); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return inTime.has_value(); }, 60000));
        EXPECT_TRUE(*inTime);
        QQuickItem* note = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return (note = item(window, c.shown)) && note->isVisible(); }, 5000));
        if (c.showsAllAsText) { // one line, so its chunks join back to it
            EXPECT_TRUE(QTest::qWaitFor([&] { return shownAsText() == c.reply; }, 10000));
        }
    }
}
