// The main window's costs, measured as a user meets them (software renderer, offscreen):
//   start  cold start to the first frame, with a selected 2,300-message conversation
//          against an empty store (each start is a fresh process); RSS after that frame
//   piece  UI-thread time from a streamed piece to the frame showing it, in a 10- and a
//          2,300-message conversation, and the most pieces per second the window keeps up with
// Run: ui_bench (prints medians). Not a Google Benchmark: a start is a process of its own.
#include "BenchMeasures.h"
#include "app/VorbelApplication.h"
#include "core/Settings.h"
#include "store/StoreOperations.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
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
    saveContext(store);
    return conversation;
}

QQuickWindow* showFirstFrame(VorbelApplication& app)
{
    QQuickWindow* window = app.openMainWindow();
    bool framed = false;
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [&framed] { framed = true; });
    (void)QTest::qWaitFor([&] { return framed; }, 30000);
    return window;
}

// Child process: one cold start, printed as "<ms> <KiB>".
int startOnce()
{
    QElapsedTimer clock;
    clock.start();
    VorbelApplication app;
    StoreContext& store = app.viewContext();
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
            seed(seeding.viewContext(), messages);
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

void measurePieces()
{
    for (const int messages : {10, 2300}) {
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
        Settings::instance().setText(Settings::apiKeyKey, "sk-bench");
        VorbelApplication app;
        StoreContext& store = app.viewContext();
        ConversationPtr conversation = seed(store, messages);
        MessagePtr reply = makeMessage(store, "assistant", QString(), conversation, std::nullopt, false);
        saveContext(store);
        app.uiState().setSelectedConversation(conversation->id());
        QQuickWindow* window = showFirstFrame(app);
        QTest::qWait(300);

        // One piece, then the frame that shows it: stored and saved as a stream does.
        int frames = 0;
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [&frames] { ++frames; });
        std::vector<double> perPiece;
        QElapsedTimer clock;
        for (int i = 0; i < 200; ++i) {
            const int before = frames;
            clock.start();
            reply->appendContent(QStringLiteral("word%1 ").arg(i));
            saveContext(store);
            (void)QTest::qWaitFor([&] { return frames > before; }, 5000);
            perPiece.push_back(clock.nsecsElapsed() / 1e6);
        }

        // As fast as they come: every piece queued at once, drawn as the window can.
        const int burst = 4000;
        clock.start();
        for (int i = 0; i < burst; ++i) {
            // Word-sized pieces, a new line every sixteen: about 4 KB a 1,000 pieces.
            const QString piece = i % 16 == 15 ? QStringLiteral("end.\n") : QStringLiteral("word ");
            QMetaObject::invokeMethod(&app, [&store, reply, piece] {
                reply->appendContent(piece);
                saveContext(store);
            }, Qt::QueuedConnection);
        }
        const int before = frames;
        QCoreApplication::processEvents();
        (void)QTest::qWaitFor([&] { return frames > before + 1; }, 60000);
        const double seconds = clock.nsecsElapsed() / 1e9;
        std::printf("piece to frame, %4d messages: median %.2f ms; %d queued pieces drawn at %.0f pieces/s\n",
                    messages, median(perPiece), burst, burst / seconds);
    }
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
    measureStarts(QCoreApplication::applicationFilePath());
    measurePieces();
    return 0;
}
