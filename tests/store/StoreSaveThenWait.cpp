// Child process for the durability test: saves one turn, says so, then waits to be killed.
#include "store/DataController.h"
#include "store/StoreOperations.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    DataController controller(QString::fromLocal8Bit(argv[1]));
    StoreContext& context = controller.viewContext();
    AssistantPtr assistant = createAssistant(context, "Durable", "Keeps things", "https://example.com/a.png");
    ConversationPtr conversation = createConversation(context, assistant);
    MessagePtr reply = makeMessage(context, "assistant", "", conversation, std::nullopt, false);
    for (const char* piece : {"Hel", "lo", "!"}) {
        reply->appendContent(QString::fromLatin1(piece));
        saveContext(context);
    }
    std::printf("saved\n");
    std::fflush(stdout);
    for (;;)
        pause();
}
