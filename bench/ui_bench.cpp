// The main window's costs, measured as a user meets them (software renderer, offscreen):
//   start   cold start to the first frame, with a selected 2,300-message conversation
//           against an empty store (each start is a fresh process); RSS after that frame
//   piece   UI-thread time from a streamed piece to the frame showing it, in a 10- and a
//           2,300-message conversation, and the most pieces per second the window keeps up
//           with, for a plain and a Markdown reply
//   long    one piece at the start and at the end of a 100 KB plain and Markdown reply
//   scroll  the 2,300-message conversation flicked from its end to its start: median frame time
//   rss     RSS after a 1 MB reply streamed into the 2,300-message conversation
// Run: ui_bench [start|piece|long|scroll|rss]... (all when none; prints medians).
// Not a Google Benchmark: a start is a process of its own.
#include "BenchMeasures.h"
#include "app/VorbelApplication.h"
#include "core/Settings.h"
#include "store/StoreOperations.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

// About 35 tokens a message: 2,300 of them make about 80k tokens.
const QString sentence = QStringLiteral(
    "The quick brown fox jumps over the lazy dog, and then it *carefully* explains why `foxes` like to jump "
    "over dogs in the morning.");

ConversationPtr seed(StoreContext& store, int messages)
{
    ConversationPtr conversation = createConversation(store, createAssistant(store, "Ada", "Be brief.", QString()));
    for (int i = 0; i < messages; ++i)
        makeMessage(store, i % 2 ? "assistant" : "user", sentence, conversation, std::nullopt, true);
    saveChanges(store);
    return conversation;
}

QQuickWindow* showFirstFrame(VorbelApplication& app)
{
    QQuickWindow* window = app.openMainWindow();
    bool framed = false;
    // Let go before returning: later frames must not write to this frame's stack.
    const QMetaObject::Connection watch =
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [&framed] { framed = true; });
    (void)QTest::qWaitFor([&] { return framed; }, 30000);
    QObject::disconnect(watch);
    return window;
}

// Child process: one cold start, printed as "<ms> <KiB>".
int startOnce()
{
    QElapsedTimer clock;
    clock.start();
    VorbelApplication app;
    StoreContext& store = app.storeContext();
    if (!store.conversations().empty())
        app.uiState().setSelectedConversation(store.conversations().front()->id());
    showFirstFrame(app);
    std::printf("%lld %ld\n", clock.elapsed(), residentKiB());
    return 0;
}

void measureStarts(const QString& self)
{
    for (const int messages : {0, 2300}) {
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
        Settings::instance().setText(Settings::apiKeyKey, "sk-bench");
        if (messages > 0) {
            VorbelApplication seeding;
            seed(seeding.storeContext(), messages);
        }
        std::vector<double> ms;
        std::vector<double> kib;
        for (int run = 0; run < 7; ++run) {
            QProcess child;
            child.start(self, {"--start-once"});
            child.waitForFinished(60000);
            const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
            ms.push_back(fields.value(0).toDouble());
            kib.push_back(fields.value(1).toDouble());
        }
        std::printf("start to first frame, %4d messages: median %.0f ms, RSS %.1f MB\n", messages, median(ms),
                    median(kib) / 1024);
    }
}

// A window on a seeded conversation with an empty reply to stream into, in a home of its own.
struct StreamingWindow {
    explicit StreamingWindow(int messages)
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
        Settings::instance().setText(Settings::apiKeyKey, "sk-bench");
        app = std::make_unique<VorbelApplication>();
        conversation = seed(store(), messages);
        reply = makeMessage(store(), "assistant", QString(), conversation, std::nullopt, false);
        saveChanges(store());
        app->uiState().setSelectedConversation(conversation->id());
        window = showFirstFrame(*app);
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [this] { ++frames; });
        QTest::qWait(300);
    }
    StoreContext& store() { return app->storeContext(); }

    // From a piece, stored and saved as a stream does, to the frame that shows
    // it: the time that passed, and the CPU time the UI thread spent in it
    // (the software renderer draws on that thread).
    struct PieceCost {
        double wallMs = 0;
        double uiThreadMs = 0;
    };
    PieceCost pieceToFrame(const QString& piece)
    {
        const int before = frames;
        QElapsedTimer clock;
        clock.start();
        const double cpu = threadCpuMs();
        reply->appendContent(piece);
        saveChanges(store());
        (void)QTest::qWaitFor([&] { return frames > before; }, 5000);
        return {clock.nsecsElapsed() / 1e6, threadCpuMs() - cpu};
    }

    // Pieces per second for `count` pieces queued at once, drawn as the window can.
    double burst(int count, const std::function<QString(int)>& piece)
    {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i) {
            QMetaObject::invokeMethod(
                app.get(),
                [this, text = piece(i)] {
                    reply->appendContent(text);
                    saveChanges(store());
                },
                Qt::QueuedConnection);
        }
        const int before = frames;
        QCoreApplication::processEvents();
        (void)QTest::qWaitFor([&] { return frames > before + 1; }, 60000);
        return count / (clock.nsecsElapsed() / 1e9);
    }

    QTemporaryDir home;
    std::unique_ptr<VorbelApplication> app;
    ConversationPtr conversation;
    MessagePtr reply;
    QQuickWindow* window = nullptr;
    int frames = 0;
};

// Word-sized pieces, a new line every sixteen: about 4 KB a 1,000 pieces.
QString plainPiece(int i) { return i % 16 == 15 ? QStringLiteral("end.\n") : QStringLiteral("word "); }

// The same words as Markdown: a table first, then paragraphs with inline marks.
QString markdownPiece(int i)
{
    if (i == 0)
        return QStringLiteral("| a | b |\n|---|---|\n| 1 | 2 |\n\n");
    return i % 16 == 15 ? QStringLiteral("end.\n\n")
         : i % 5 == 0   ? QStringLiteral("**word** ")
                        : QStringLiteral("word ");
}

// A long plain reply's text: lines of words, a blank line every five lines.
QString plainText(int bytes)
{
    QString text;
    for (int line = 0; text.size() < bytes; ++line)
        text += line % 6 == 5 ? QStringLiteral("\n") : sentence + QLatin1Char('\n');
    return text;
}

// A long Markdown reply's text: headings, code, tables, lists and quotes.
QString markdownText(int bytes)
{
    QString text;
    for (int n = 1; text.size() < bytes; ++n) {
        text +=
            QStringLiteral("## Step %1\n\nInstall the **dependencies** first; `cmake` finds them. See "
                           "[the guide](https://example.com/%1).\n\n```cpp\nint main()\n{\n    return %1;\n}\n```\n\n"
                           "| Option | Default |\n|:--|--:|\n| `jobs` | %1 |\n\n- Configure\n- [x] Test\n\n"
                           "> Keep the build folder outside the tree.\n\n")
                .arg(n);
    }
    return text;
}

void measurePieces()
{
    for (const int messages : {10, 2300}) {
        StreamingWindow view(messages);
        std::vector<double> perPiece;
        for (int i = 0; i < 200; ++i)
            perPiece.push_back(view.pieceToFrame(QStringLiteral("word%1 ").arg(i)).wallMs);
        const int burst = 4000;
        const double plainRate = view.burst(burst, plainPiece);
        std::printf("piece to frame, %4d messages: median %.2f ms; %d queued pieces drawn at %.0f pieces/s\n", messages,
                    median(perPiece), burst, plainRate);
    }
    StreamingWindow view(2300);
    std::printf("the same burst as a Markdown reply, 2300 messages: %.0f pieces/s\n", view.burst(4000, markdownPiece));
}

// One piece at the start and one at the end of a 100 KB reply: the text up to
// there arrives in large steps, each drawn, then pieces are timed one by one.
// A piece's work may end in the frame after its own (rows it brings into view
// are made once laid out), so the UI-thread time of a piece is that of a run
// of pieces, each drawn, over their number; the median of five such runs.
void measureLongReplies()
{
    const int bytes = 100 * 1024;
    for (const bool markdown : {false, true}) {
        StreamingWindow view(10);
        const QString text = markdown ? markdownText(bytes) : plainText(bytes);
        const auto timePieces = [&](qsizetype from) {
            std::vector<double> wall;
            std::vector<double> uiThread;
            const int runs = 5;
            const int run = 8;
            for (qsizetype at = from; at < from + runs * run * 40;) {
                double cpu = 0;
                for (int piece = 0; piece < run; ++piece, at += 40) {
                    const StreamingWindow::PieceCost cost = view.pieceToFrame(text.mid(at, 40));
                    wall.push_back(cost.wallMs);
                    cpu += cost.uiThreadMs;
                }
                uiThread.push_back(cpu / run);
            }
            return StreamingWindow::PieceCost{median(wall), median(uiThread)};
        };
        const StreamingWindow::PieceCost start = timePieces(0);
        for (qsizetype at = 1600; at < text.size() - 1600; at += 4096)
            view.pieceToFrame(text.mid(at, std::min<qsizetype>(4096, text.size() - 1600 - at)));
        const StreamingWindow::PieceCost end = timePieces(text.size() - 1600);
        const char* kind = markdown ? "Markdown" : "plain";
        std::printf("one piece of a 100 KB %s reply, to its frame: median %.2f ms at its start, %.2f ms at its end "
                    "(%.2fx)\n",
                    kind, start.wallMs, end.wallMs, end.wallMs / start.wallMs);
        std::printf("one piece of a 100 KB %s reply, UI-thread time: median %.2f ms at its start, %.2f ms at its end "
                    "(%.2fx)\n",
                    kind, start.uiThreadMs, end.uiThreadMs, end.uiThreadMs / start.uiThreadMs);
    }
}

// Flicks from the end of the conversation to its start; the time between frames while it moves.
void measureScrolling()
{
    StreamingWindow view(2300);
    auto* list = view.window->findChild<QQuickItem*>(QStringLiteral("messageList"));
    if (!list)
        return;
    list->setProperty("maximumFlickVelocity", 20000);
    list->setProperty("flickDeceleration", 10000);
    std::vector<double> frameMs;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(view.window, &QQuickWindow::frameSwapped, view.window, [&] {
        frameMs.push_back(clock.nsecsElapsed() / 1e6);
        clock.start();
    });
    for (int flick = 0; flick < 100 && !list->property("atYBeginning").toBool(); ++flick) {
        QMetaObject::invokeMethod(list, "flick", Q_ARG(qreal, 0), Q_ARG(qreal, 20000));
        clock.start();
        (void)QTest::qWaitFor([&] { return !list->property("moving").toBool(); }, 10000);
    }
    QObject::disconnect(view.window, &QQuickWindow::frameSwapped, view.window, nullptr);
    std::printf("flicking 2300 messages from end to start: median frame time %.2f ms over %zu frames%s\n",
                median(frameMs), frameMs.size(), list->property("atYBeginning").toBool() ? "" : " (start not reached)");
}

// A 1 MB reply streamed in 4 KB steps, each drawn, into the 2,300-message conversation.
void measureLongReplyMemory()
{
    StreamingWindow view(2300);
    const QString text = plainText(1024 * 1024);
    for (qsizetype at = 0; at < text.size(); at += 4096)
        view.pieceToFrame(text.mid(at, 4096));
    QTest::qWait(500);
    std::printf("RSS after streaming a 1 MB reply into 2300 messages: %.1f MB\n", residentKiB() / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    qunsetenv("VORBEL_CATALOGUE_URL");
    qunsetenv("VORBEL_UPDATE_FEED_URL");
    // The start reads the account's models: the bench key must never leave the machine.
    qputenv("VORBEL_OPENAI_URL", "http://127.0.0.1:9");
    QApplication qtApp(argc, argv);
    QCoreApplication::setOrganizationName("Vorbel");
    QCoreApplication::setApplicationName("Vorbel");
    if (argc > 1 && qstrcmp(argv[1], "--start-once") == 0)
        return startOnce();
    QStringList parts = QCoreApplication::arguments().mid(1);
    if (parts.isEmpty())
        parts = {"start", "piece", "long", "scroll", "rss"};
    for (const QString& part : parts) {
        if (part == "start")
            measureStarts(QCoreApplication::applicationFilePath());
        else if (part == "piece")
            measurePieces();
        else if (part == "long")
            measureLongReplies();
        else if (part == "scroll")
            measureScrolling();
        else if (part == "rss")
            measureLongReplyMemory();
    }
    return 0;
}
