#pragma once

#include "store/StoreContext.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <functional>

// The turn flow of one conversation, without any window: it stores the user's
// prompt, creates the assistant's message, streams the reply into it (one save
// per piece, on the UI thread, in arrival order) and runs function calls,
// continuing the conversation with their results. Windows observe the store and
// call in; a turn goes on when the window that started it closes.
class ConversationController : public QObject {
    Q_OBJECT
public:
    ConversationController(StoreContext& context, ConversationPtr conversation, QObject* parent = nullptr);
    ~ConversationController() override;

    const ConversationPtr& conversation() const { return m_conversation; }

    // Stores the prompt as the user's message and starts a turn with it.
    void submit(const QString& prompt);
    // Starts one turn; without a user message it continues after a function result.
    // Returns the new assistant message (none once the conversation is deleted).
    MessagePtr send(const MessagePtr& userMessage = nullptr);

    // Function-call rules for the block of message A.
    bool hasFunctionRun(const Message& message) const;         // a run was started by this controller
    bool isFunctionRunning(const Message& message) const;      // started and no result yet
    bool shouldRunAutomatically(const Message& message) const; // done, found, no confirmation, no result, not yet run
    bool awaitsConfirmation(const Message& message) const;     // done, found, confirmation required, no result
    // Runs the function of A (automatically or on the user's press), records the
    // result, saves and starts the next turn.
    void runFunction(const MessagePtr& message);
    // Runs every function call of the conversation that may run by itself
    // (for example after a restart during a run).
    void runPendingFunctions();

    // Calls onDeleted first, then removes the conversation and saves.
    void deleteConversation(const std::function<void()>& onDeleted = {});

    // Stops every reply still streaming. What arrived is kept and marked done;
    // a reply stopped before anything arrived is removed; a function call cut
    // short is dropped from its message, so it can never run.
    void stopStreaming();

    int runningTurns() const { return int(m_streams.size()); }

    // What each streamed delta does on the UI thread: append the pieces to the
    // assistant message, then save. Nothing once the conversation is deleted.
    void applyPiece(const MessagePtr& message, const std::optional<QString>& content,
                    const std::optional<QString>& name, const std::optional<QString>& arguments);

Q_SIGNALS:
    // A's stream ended: complete (true) or failed (false, the notice is stored).
    void turnFinished(const MessagePtr& assistantMessage, bool completed);
    void runningTurnsChanged();
    void functionStarted(const MessagePtr& message);
    void functionFinished(const MessagePtr& message);
    // A further call of a reply that asked for several now waits for the user.
    void confirmationNeeded(const MessagePtr& message);

private:
    // Every callback asks first: one queued before a deletion still arrives.
    bool conversationExists() const;
    void finishTurn(const MessagePtr& message, const QUuid& stream);
    void failTurn(const MessagePtr& message, const QUuid& stream, const QString& text);
    void settleStoppedReply(const MessagePtr& message);
    // The message that a streamed piece of call `index` belongs to: the reply
    // itself for the first call, a message of its own for each further one.
    MessagePtr messageForCall(const QUuid& stream, const MessagePtr& reply, int index);
    // Moves on to the reply's next call after `message`: runs it when it may
    // run by itself. False when no call of the reply is left to run or wait for.
    bool advanceCalls(const MessagePtr& message);

    StoreContext& m_context;
    ConversationPtr m_conversation;
    QHash<QUuid, MessagePtr> m_streams;   // running turns by stream id
    QHash<QUuid, QMap<int, MessagePtr>> m_laterCalls; // a running turn's further calls by index
    QSet<qint64> m_functionRuns;          // messages whose function was started here
};

// One controller per conversation for the whole application, so that every
// window (and a second window on the same conversation) drives the same turns.
class ConversationControllerRegistry : public QObject {
    Q_OBJECT
public:
    explicit ConversationControllerRegistry(StoreContext& context, QObject* parent = nullptr);
    ConversationController& controllerFor(const ConversationPtr& conversation);

private:
    StoreContext& m_context;
    QHash<qint64, ConversationController*> m_controllers;
};
