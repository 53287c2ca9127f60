// The cost of one streamed piece, from the callback to the saved store, with the
// conversation's message list watching: it must not grow with the conversation.
#include "chat/ConversationController.h"
#include "store/DataController.h"
#include "store/ListModels.h"
#include "store/StoreOperations.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void BM_PieceApplyAndSave(benchmark::State& state)
{
    const int earlier = int(state.range(0));
    QTemporaryDir dir;
    auto controller = std::make_unique<DataController>(dir.path() + "/Vorbel.sqlite");
    StoreContext& context = controller->storeContext();
    ConversationPtr conversation = createConversation(context, nullptr);
    const QString text = QString("An earlier message of ordinary length. ").repeated(8);
    for (int i = 0; i < earlier; ++i)
        makeMessage(context, i % 2 ? "assistant" : "user", text, conversation, std::nullopt, true);
    saveChanges(context);
    // Reopen so the conversation is read from the file like a real one.
    controller = std::make_unique<DataController>(dir.path() + "/Vorbel.sqlite");
    StoreContext& reopened = controller->storeContext();
    conversation = reopened.conversationWithId(*conversation->id());
    MessageListModel view(reopened, conversation);
    ConversationController turn(reopened, conversation);
    MessagePtr reply = makeMessage(reopened, "assistant", "", conversation, std::nullopt, false);
    saveChanges(reopened);
    const QString piece = QStringLiteral(" word");
    for (auto _ : state)
        turn.applyPiece(reply, piece, std::nullopt, std::nullopt);
    if (view.rowCount() != earlier + 1)
        state.SkipWithError("the view lost rows");
}
BENCHMARK(BM_PieceApplyAndSave)
    ->Arg(0)
    ->Arg(10000)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

} // namespace
