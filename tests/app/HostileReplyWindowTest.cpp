// Replies built to freeze the window: each leaves the event loop answering
// and shows what the user needs to know about it.
#include "MainWindowFixture.h"
#include "store/StoreOperations.h"

#include <QDeadlineTimer>
#include <QTimer>

namespace {

class HostileReplyWindowTest : public MainWindowTest {};

QString wideTable()
{
    QString header;
    QString row;
    for (int column = 1; column <= 100; ++column) {
        header += QStringLiteral("| h%1 ").arg(column);
        row += QStringLiteral("| a%1 ").arg(column);
    }
    return header + "|\n" + QStringLiteral("|---").repeated(100) + "|\n" + row + "|\n";
}

} // namespace

TEST_F(HostileReplyWindowTest, HostileRepliesLeaveTheWindowAnsweringAndSayWhatIsCut)
{
    struct Case {
        const char* name;
        QString reply;
        const char* shown; // the item that tells the user
        bool showsAllAsText;
    };
    const std::vector<Case> cases{
        {"a 100-column table", wideTable(), "tableNote", false},
        {"a 300 KiB line", QString(300 * 1024, QLatin1Char('w')), "oversizedNote", true},
    };
    ConversationPtr conversation = createConversation(store(), createAssistant(store(), "Ada", "Be brief.", QString()));
    uiState().setSelectedConversation(conversation->id());
    QQuickWindow* window = open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settle(window);
        // A hang check with a generous bound, not a benchmark: the reply arrives,
        // the window is drawn, and a timer posted then must still get its turn.
        const QDeadlineTimer deadline(1000);
        makeMessage(store(), QStringLiteral("assistant"), c.reply, conversation, std::nullopt, true);
        saveContext(store());
        settle(window);
        bool fired = false;
        bool inTime = false;
        QTimer::singleShot(0, window, [&] {
            fired = true;
            inTime = !deadline.hasExpired();
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return fired; }, 60000));
        EXPECT_TRUE(inTime);
        QQuickItem* note = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return (note = item(window, c.shown)) && note->isVisible(); }, 5000));
        if (c.showsAllAsText) { // one line, so its chunks join back to it
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    QString shown;
                    for (QObject* chunk : findAll(window, "oversizedChunk"))
                        shown += chunk->property("text").toString();
                    return shown == c.reply;
                },
                10000));
        }
    }
}
