// Store costs that users feel: the save after each streamed piece, opening a
// large store, loading one long conversation, and seeing what another process
// (the command-line tool) wrote to the same file.
#include "store/ConversationSearch.h"
#include "store/DataController.h"
#include "store/ListModels.h"
#include "store/StoreOperations.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cmath>
#include <memory>
#include <random>

namespace {

constexpr int totalMessages = 100000;
constexpr int longConversation = 10000;

// Message text with the spread of words of real chats, for the full-text
// index: a few words are everywhere, most are rare. About 35 tokens (three
// characters each) per message, 3.5 million in all.
class WordSource {
public:
    WordSource()
    {
        const char* common[] = {"the",    "a",     "to",       "of",      "and",   "in",     "is",     "it",
                                "you",    "that",  "for",      "on",      "with",  "this",   "can",    "your",
                                "code",   "file",  "function", "error",   "value", "memory", "server", "request",
                                "model",  "reply", "python",   "résumé",  "leak",  "thread", "window", "list",
                                "search", "title", "store",    "message", "test"};
        for (const char* word : common)
            m_words << QString::fromUtf8(word);
        const char* syllables[] = {"ka", "lo", "mi", "ne", "ru",  "sa",  "te",  "vo",  "pi",  "da",  "ge",  "ho",
                                   "ju", "be", "ci", "fa", "qua", "ron", "mel", "tis", "dor", "pan", "sil", "wen"};
        std::mt19937 random(7);
        std::uniform_int_distribution<int> syllable(0, int(std::size(syllables)) - 1);
        while (m_words.size() < 20000) {
            QString word;
            for (int i = 0, n = 2 + int(random() % 2); i < n; ++i)
                word += QLatin1String(syllables[syllable(random)]);
            m_words << word;
        }
    }
    // Words by a Zipf-like rank: the k-th word about 1/k as often as the first.
    QString message()
    {
        QString text;
        while (text.size() < 100) {
            const double u = std::uniform_real_distribution<double>(0, 1)(m_random);
            const int rank = std::min(int(std::pow(double(m_words.size()), u)) - 1, int(m_words.size()) - 1);
            text += m_words.at(std::max(rank, 0)) + QLatin1Char(' ');
        }
        return text.trimmed() + QLatin1Char('.');
    }

private:
    QStringList m_words;
    std::mt19937 m_random{11};
};

// One store for all benchmarks: 100,000 messages, one conversation of 10,000
// and 900 conversations of 100.
struct LargeStore {
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/Vorbel.sqlite"; }
    QUuid longId;

    LargeStore()
    {
        DataController controller(path());
        StoreContext& context = controller.storeContext();
        AssistantPtr assistant = createAssistant(context, "Bench", "You help.", "https://example.com/b.png");
        WordSource words;
        int made = 0;
        while (made < totalMessages) {
            ConversationPtr c = createConversation(context, assistant);
            const int count = made == 0 ? longConversation : 100;
            if (made == 0)
                longId = *c->id();
            for (int i = 0; i < count; ++i)
                makeMessage(context, i % 2 ? "assistant" : "user", words.message(), c, std::nullopt, true);
            made += count;
            if (made % 10000 == 0)
                saveChanges(context);
        }
        saveChanges(context);
    }
};

LargeStore& largeStore()
{
    static LargeStore store;
    return store;
}

void BM_SaveAfterOnePiece(benchmark::State& state)
{
    DataController controller(largeStore().path());
    StoreContext& context = controller.storeContext();
    ConversationPtr conversation = createConversation(context, nullptr);
    MessagePtr reply = makeMessage(context, "assistant", "", conversation, std::nullopt, false);
    saveChanges(context);
    for (auto _ : state) {
        reply->appendContent(QStringLiteral("tok "));
        saveChanges(context);
    }
}
BENCHMARK(BM_SaveAfterOnePiece)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// Baseline: the same row updated by hand in one transaction.
void BM_BareSqliteUpdate(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open(largeStore().path().toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "INSERT INTO message (role, content, done) VALUES ('assistant', '', 0)", nullptr, nullptr,
                 nullptr);
    const sqlite3_int64 row = sqlite3_last_insert_rowid(db);
    sqlite3_stmt *begin, *update, *commit;
    sqlite3_prepare_v2(db, "BEGIN IMMEDIATE", -1, &begin, nullptr);
    sqlite3_prepare_v2(db, "UPDATE message SET content = ? WHERE pk = ?", -1, &update, nullptr);
    sqlite3_prepare_v2(db, "COMMIT", -1, &commit, nullptr);
    std::string content;
    for (auto _ : state) {
        content += "tok ";
        sqlite3_step(begin);
        sqlite3_reset(begin);
        sqlite3_bind_text(update, 1, content.data(), int(content.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(update, 2, row);
        sqlite3_step(update);
        sqlite3_reset(update);
        sqlite3_step(commit);
        sqlite3_reset(commit);
    }
    sqlite3_finalize(begin);
    sqlite3_finalize(update);
    sqlite3_finalize(commit);
    sqlite3_close(db);
}
BENCHMARK(BM_BareSqliteUpdate)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_OpenAndListConversations(benchmark::State& state)
{
    largeStore();
    for (auto _ : state) {
        DataController controller(largeStore().path());
        ConversationListModel list(controller.storeContext());
        benchmark::DoNotOptimize(list.rowCount());
    }
}
BENCHMARK(BM_OpenAndListConversations)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

void BM_LoadLongConversation(benchmark::State& state)
{
    largeStore();
    for (auto _ : state) {
        state.PauseTiming();
        auto controller = std::make_unique<DataController>(largeStore().path());
        ConversationPtr conversation = controller->storeContext().conversationWithId(largeStore().longId);
        state.ResumeTiming();
        MessageListModel messages(controller->storeContext(), conversation);
        if (messages.rowCount() != longConversation)
            state.SkipWithError("conversation did not load whole");
        state.PauseTiming();
        controller.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadLongConversation)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// The UI thread's share when another process saved one streamed piece into
// the open long conversation: the rows are read again and compared.
void BM_MergeAnotherProcessesPiece(benchmark::State& state)
{
    DataController app(largeStore().path());
    ConversationPtr open = app.storeContext().conversationWithId(largeStore().longId);
    MessageListModel messages(app.storeContext(), open);
    DataController tool(largeStore().path());
    MessagePtr reply = makeMessage(tool.storeContext(), "assistant", "",
                                   tool.storeContext().conversationWithId(largeStore().longId), std::nullopt, false);
    saveChanges(tool.storeContext());
    app.storeContext().mergeExternalChanges();
    for (auto _ : state) {
        state.PauseTiming();
        reply->appendContent(QStringLiteral("tok "));
        saveChanges(tool.storeContext());
        state.ResumeTiming();
        if (!app.storeContext().mergeExternalChanges())
            state.SkipWithError("the piece was not merged");
    }
}
BENCHMARK(BM_MergeAnotherProcessesPiece)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// The look a few times a second when nothing changed: one PRAGMA.
void BM_LookWhenNothingChanged(benchmark::State& state)
{
    DataController app(largeStore().path());
    for (auto _ : state)
        benchmark::DoNotOptimize(app.storeContext().mergeExternalChanges());
}
BENCHMARK(BM_LookWhenNothingChanged)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// From another process's commit of a new conversation to its row in the open
// list, through the app's own timer. Commits come at varied points of the
// timer's period, as they would.
void BM_AnotherProcessesConversationListed(benchmark::State& state)
{
    DataController app(largeStore().path());
    ConversationListModel list(app.storeContext());
    DataController tool(largeStore().path());
    int run = 0;
    for (auto _ : state) {
        QEventLoop phase;
        QTimer::singleShot((run++ * 97) % 250, &phase, &QEventLoop::quit);
        phase.exec();
        QEventLoop listed;
        bool seen = false;
        const auto connection = QObject::connect(&list, &QAbstractItemModel::rowsInserted, &listed, [&] {
            seen = true;
            listed.quit();
        });
        QTimer::singleShot(5000, &listed, &QEventLoop::quit);
        createConversation(tool.storeContext(), nullptr);
        QElapsedTimer sinceCommit;
        sinceCommit.start();
        listed.exec();
        state.SetIterationTime(double(sinceCommit.nsecsElapsed()) / 1e9);
        QObject::disconnect(connection);
        if (!seen)
            state.SkipWithError("never listed");
    }
}
BENCHMARK(BM_AnotherProcessesConversationListed)
    ->Iterations(8)
    ->Repetitions(5)
    ->UseManualTime()
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// From a keystroke in the search field to the filtered list: the search on
// its own connection, then each hit matched to its listed conversation. The
// text is typed one key at a time; every prefix is one search.
void BM_SearchKeystrokeToFilteredList(benchmark::State& state)
{
    DataController app(largeStore().path());
    StoreContext& context = app.storeContext();
    ConversationListModel list(context);
    ConversationSearch search(largeStore().path());
    const QString typed = QStringLiteral("memory leak thread");
    int key = 0;
    for (auto _ : state) {
        const QString text = typed.left(1 + key++ % typed.size());
        int shown = 0;
        const Result<std::vector<SearchHit>> hits = search.search(text);
        for (const SearchHit& hit : *hits)
            shown += context.conversationWithRow(hit.conversationRow) ? 1 : 0;
        benchmark::DoNotOptimize(shown);
    }
}
BENCHMARK(BM_SearchKeystrokeToFilteredList)
    ->Iterations(18)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// The worst single keystroke: one letter, which starts most messages' words.
void BM_SearchOneLetter(benchmark::State& state)
{
    DataController app(largeStore().path());
    ConversationSearch search(largeStore().path());
    for (auto _ : state)
        benchmark::DoNotOptimize(search.search(QStringLiteral("m"))->size());
}
BENCHMARK(BM_SearchOneLetter)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

} // namespace
