#pragma once

#include "chat/OpenAiService.h"
#include "extensions/CustomExtension.h"
#include "store/StoreContext.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

class ChatReply;
class FunctionStop;

// The turn flow of one conversation, without any window: it stores the user's
// prompt, creates the assistant's message, streams the reply into it (one save
// per piece, in arrival order) and runs function calls,
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
    // The newest reply asked for again: every message after the user's last
    // prompt (the reply, its function calls, a failure notice) is deleted and
    // the same history is sent. False, changing nothing, while a turn or a
    // function runs or when no reply follows a prompt.
    bool canRegenerate() const;
    bool regenerate();
    // An own message sent again with new text: it and every message after it
    // are deleted, then the text is submitted as a new prompt. False, changing
    // nothing, when the message is not the user's or a turn or function runs.
    bool resubmit(const MessagePtr& userMessage, const QString& prompt);

    // Starts one turn; without a user message it continues after a function result.
    // Returns the new assistant message (none once the conversation is deleted).
    MessagePtr send(const MessagePtr& userMessage = nullptr);

    // The function a call may run: one that the request which produced the
    // call offered the model (for a call from before this run, one offered
    // now). Any other name is treated as unknown, so nothing runs for it.
    std::optional<CustomFunction> offeredFunction(const Message& message) const;
    // For a done call of a function the user confirms: the exact text that
    // runs on confirmation, worked out once and kept; nothing when the
    // arguments cannot be used (then no run is offered).
    std::optional<QString> confirmationText(const Message& message) const;

    // Function-call rules for a message's call.
    bool hasFunctionRun(const Message& message) const;         // a run was started by this controller
    bool isFunctionRunning(const Message& message) const;      // started and no result yet
    bool shouldRunAutomatically(const Message& message) const; // done, offered, no confirmation, no result, not yet run
    // Done, offered, no result, and either confirmation required (with a usable
    // text) or as many automatic runs in a row as are allowed.
    bool awaitsConfirmation(const Message& message) const;
    // Runs the message's function on the user's press (the confirmed text for a
    // function that asks), records the result, saves and starts the next turn.
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

    // Text typed for this conversation and not sent yet, kept for as long as
    // the app runs, so that every window finds it here and no other
    // conversation ever does.
    const QString& draft() const { return m_draft; }
    void setDraft(const QString& text) { m_draft = text; }

    // Asks every function running in this conversation to stop. Each records
    // "Stopped by the user" as its result, and nothing goes to the model until
    // the user's next prompt.
    void stopFunctions();
    bool isAnyFunctionRunning() const { return !m_functionStops.isEmpty(); }

    // Text one reply may bring, counted over its thinking, content and calls; past it
    // the reply is cut as if stopped and a notice follows.
    static constexpr qsizetype replyTextLimit = 4 * 1024 * 1024;
    // Functions run one after another without the user's press; the next call
    // waits for it.
    static constexpr int automaticRunLimit = 10;

    // What each streamed delta does: append the pieces to the assistant
    // message, then save. Nothing once the conversation is deleted.
    void applyPiece(const MessagePtr& message, const std::optional<QString>& content,
                    const std::optional<QString>& name, const std::optional<QString>& arguments);
    // Whether the message's reply is still streaming.
    bool isStreaming(const Message& message) const;

Q_SIGNALS:
    // The reply's stream ended: complete (true) or failed (false, the notice is stored).
    void turnFinished(const MessagePtr& assistantMessage, bool completed);
    void runningTurnsChanged();
    void functionStarted(const MessagePtr& message);
    void functionFinished(const MessagePtr& message);
    // A further call of a reply that asked for several now waits for the user.
    void confirmationNeeded(const MessagePtr& message);

private:
    bool isBusy() const;
    // Deletes the message and every later one, and saves.
    void deleteFrom(const MessagePtr& message);
    // Every reply's signal asks first: the controller outlives its conversation a little.
    bool conversationExists() const;
    void finishTurn(const MessagePtr& message, ChatReply* stream);
    void failTurn(const MessagePtr& message, ChatReply* stream, const QString& text);
    void settleStoppedReply(const MessagePtr& message, bool announce = true);
    // The message that a streamed piece of call `index` belongs to: the reply
    // itself for the first call, a message of its own for each further one.
    MessagePtr messageForCall(ChatReply* stream, const MessagePtr& reply, int index);
    // Moves on to the reply's next call after `message`: runs it when it may
    // run by itself. False when no call of the reply is left to run or wait for.
    bool advanceCalls(const MessagePtr& message);
    // A streamed delta of `stream`, within the reply's text limit.
    void takeDelta(ChatReply* stream, const MessagePtr& reply, const ParsedDelta& delta);
    void cutReply(ChatReply* stream);
    // The same for a piece: false when it is for nobody any more (nothing saved).
    bool applyDelta(const MessagePtr& message, const ParsedDelta& delta);
    // Times the reply by its pieces: the first starts the clock, the first of
    // the answer ends the thinking, the last ends the reply.
    void noteTiming(ChatReply* stream, Message& reply, const ParsedDelta& delta);
    // Ends the reply and drops what the turn kept.
    void forgetStream(ChatReply* stream);
    void startFunction(const MessagePtr& message);

    StoreContext& m_context;
    ConversationPtr m_conversation;
    QHash<ChatReply*, MessagePtr> m_streams;                       // running turns by their reply
    QHash<ChatReply*, QMap<int, MessagePtr>> m_laterCalls;         // a running turn's further calls by index
    QSet<qint64> m_functionRuns;                                   // messages whose function was started here
    QHash<qint64, std::shared_ptr<FunctionStop>> m_functionStops;  // the runs still going
    QHash<ChatReply*, qsizetype> m_receivedText;                   // a running turn's text so far
    QHash<ChatReply*, QElapsedTimer> m_clocks;                     // a running turn's time since its first piece
    QHash<ChatReply*, QSet<QString>> m_streamOffers;               // what each running turn's request offered
    QHash<qint64, QSet<QString>> m_offered;                        // the same for each call message of this run
    mutable QHash<qint64, std::optional<QString>> m_confirmations; // texts shown for confirmation
    int m_automaticRuns = 0;                                       // since the user last submitted or confirmed
    QString m_draft;
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
