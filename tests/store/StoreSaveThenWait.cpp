// Second process writing the test's store: saves a finished turn ("saved"), takes the
// write lock ("locked"), commits 300 ms after a line comes in, awaits SIGKILL.
#include "store/DataController.h"
#include "store/StoreOperations.h"

#include <QCoreApplication>

#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    DataController controller(QString::fromLocal8Bit(argv[1]));
    StoreContext& context = controller.storeContext();
    AssistantPtr assistant = createAssistant(context, "Durable", "Keeps things", "https://example.com/a.png");
    MessagePtr reply =
        makeMessage(context, "assistant", "", createConversation(context, assistant), std::nullopt, false);
    for (const char* piece : {"Hel", "lo", "!"}) {
        reply->appendContent(QString::fromLatin1(piece));
        saveChanges(context);
    }
    reply->setDone(true);
    saveChanges(context);
    std::printf("saved\n");
    std::fflush(stdout);
    sqlite3* db = context.database().handle();
    if (!context.database().begin()
        || sqlite3_exec(db, "INSERT INTO conversation DEFAULT VALUES", nullptr, nullptr, nullptr))
        return 1;
    std::printf("locked\n");
    std::fflush(stdout);
    std::getchar();
    usleep(300000);
    if (!context.database().commit())
        return 1;
    for (;;)
        pause();
}
