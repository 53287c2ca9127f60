#pragma once

#include "chat/ConversationController.h"
#include "vorbel-cli/CliIo.h"

#include <QEventLoop>
#include <QHash>
#include <QObject>
#include <QSet>

#include <optional>

// One `vorbel-cli chat` run on a conversation: submits the prompt, prints the
// reply to standard output as it streams (a reasoning model's thinking to
// standard error, dimmed on a terminal), shows each function call and runs it
// under the app's rules (asking first where the function requires it, unless
// every run is confirmed in advance; the calls of a reply that asks for several
// one after another), and goes on until the model answers with text or a turn
// fails.
class ChatSession : public QObject {
    Q_OBJECT
public:
    ChatSession(StoreContext& store, ConversationPtr conversation, CliIo& io, bool confirmEveryRun,
                QObject* parent = nullptr);

    // Blocks in a local event loop until the conversation has come to rest and
    // returns the exit code: 0 after a text answer (or a run the user
    // declined), 1 after a failed turn, a function that cannot be run (even
    // when the reply's other calls ran), or changes that could not be saved.
    int run(const QString& prompt);
    // The same for the newest reply (or failed turn) asked for again: 2 when
    // there is none to ask for again or a turn is running.
    int regenerate();

private:
    int runUntilRest();
    void trackMessage(const MessagePtr& message);
    void printNewContent(const MessagePtr& message);
    void handleTurnFinished(const MessagePtr& message, bool completed);
    void handleFunctionCall(const MessagePtr& message);
    void handleUnknownFunction(const MessagePtr& message);
    void announceCall(const MessagePtr& message);
    void confirmAndRun(const MessagePtr& message);
    void handleFunctionFinished(const MessagePtr& message);
    bool askToRun();
    bool isAnyFunctionRunning() const;
    void endReplyLine(const MessagePtr& message);
    void printThinking(QStringView text);
    void endThinkingLine();
    QString failureNotice(const MessagePtr& message) const;
    void finish(int code);

    StoreContext& m_store;
    ConversationPtr m_conversation;
    CliIo& m_io;
    bool m_confirmEveryRun;
    ConversationController m_controller;
    QEventLoop m_loop;
    // Messages created during this run, with how much of their content is printed.
    QHash<qint64, qsizetype> m_printed;
    QHash<qint64, qsizetype> m_thoughtPrinted; // the same for their thinking
    bool m_thinkingLineOpen = false;           // standard error is amid a line of thinking
    QSet<qint64> m_announced;                  // calls whose "Function call:" line is printed
    bool m_callFailed = false;
    std::optional<int> m_exitCode;
};
