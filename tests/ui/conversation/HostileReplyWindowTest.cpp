// Replies built to freeze the window: each leaves the event loop answering and says what is cut.
#include "MainWindowFixture.h"
#include "store/StoreOperations.h"
#include "ui/markdown/TextChunks.h"

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

// One line of numbered words, so each of its chunks is told apart.
static QString longLine()
{
    QString line;
    for (int word = 0; line.size() < 300 * 1024; ++word)
        line += QStringLiteral("w%1 ").arg(word);
    return line;
}

TEST_F(HostileReplyWindowTest, HostileRepliesLeaveTheWindowAnsweringAndSayWhatIsCut)
{
    const struct {
        const char* name;
        QString reply;
        const char* shown; // the item that tells the user
        bool asWritten;    // in chunks, of which only those near the view are made
    } cases[] = {
        {"a 100-column table", wideTable(), "tableNote", false},
        {"a 300 KiB line", longLine(), "oversizedNote", true},
    };
    ConversationPtr conversation = createConversation(store(), createAssistant(store(), "Ada", "Be brief.", QString()));
    uiState().setSelectedConversation(conversation->id());
    QQuickWindow* window = open();
    const auto madeChunks = [&] {
        QStringList made;
        for (QObject* chunk : findAll(window, "writtenText"))
            made << chunk->property("text").toString();
        return made;
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
        if (c.asWritten) {
            const QStringList chunks = TextChunks::chunksOf(c.reply);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !madeChunks().isEmpty(); }, 10000));
            const QStringList made = madeChunks();
            EXPECT_LT(made.size(), chunks.size() / 2);
            for (const QString& chunk : made)
                EXPECT_TRUE(chunks.contains(chunk)) << chunk.left(40).toStdString();
        }
    }
}
