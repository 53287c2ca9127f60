#include "chat/ConversationController.h"

#include "chat/ChatLog.h"
#include "chat/ChatReply.h"
#include "chat/OpenAiService.h"
#include "extensions/ExtensionRegistry.h"
#include "extensions/FunctionCallRunner.h"
#include "extensions/FunctionStop.h"
#include "store/ConversationTitles.h"
#include "store/StoreOperations.h"

#include <QPointer>

#include <algorithm>
#include <utility>

namespace {
const QString userRole = QStringLiteral("user");
const QString assistantRole = QStringLiteral("assistant");
const QString appRole = QStringLiteral("app");
const QString replyCutNotice =
    QStringLiteral("This reply was cut short: it passed the limit of 4 MiB of text, and the rest was not received.");

bool isNonEmpty(const std::optional<QString>& text) { return text && !text->isEmpty(); }

// The first chunk of every reply carries an empty content, so only text,
// thinking or a piece of a function call shows that the reply had begun.
bool hasReceivedAnything(const Message& message)
{
    return isNonEmpty(message.content()) || isNonEmpty(message.functionName())
        || isNonEmpty(message.functionArguments()) || isNonEmpty(message.reasoning());
}

// The first message after the newest prompt, or nothing when no prompt has
// an answer after it: what a regeneration deletes from.
MessagePtr firstAfterNewestPrompt(const std::vector<MessagePtr>& messages)
{
    const auto lastPrompt =
        std::find_if(messages.rbegin(), messages.rend(), [](const MessagePtr& m) { return m->role() == userRole; });
    return lastPrompt == messages.rend() || lastPrompt == messages.rbegin() ? nullptr : *std::prev(lastPrompt);
}

// The start of `text` within `room` characters, not ending in half a pair.
QString fitting(const QString& text, qsizetype room)
{
    QString kept = text.left(std::max<qsizetype>(room, 0));
    if (!kept.isEmpty() && kept.back().isHighSurrogate())
        kept.chop(1);
    return kept;
}
} // namespace

ConversationController::ConversationController(StoreContext& context, ConversationPtr conversation, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_conversation(std::move(conversation))
{
}

// The running replies are children and go with it, silently.
ConversationController::~ConversationController() = default;

bool ConversationController::conversationExists() const
{
    return m_context.conversation(m_conversation->primaryKey()) == m_conversation;
}

void ConversationController::submit(const QString& prompt)
{
    if (!conversationExists())
        return;
    MessagePtr user = makeMessage(m_context, userRole, prompt, m_conversation, std::nullopt, true);
    // The first prompt names the conversation; a title given before stays.
    if (!m_conversation->title())
        m_conversation->setTitle(ConversationTitles::automaticTitle(*m_conversation));
    m_automaticRuns = 0;
    send(user);
}

bool ConversationController::isBusy() const
{
    if (!m_streams.isEmpty() || !conversationExists())
        return true;
    const std::vector<MessagePtr>& messages = m_conversation->messages();
    return std::any_of(messages.begin(), messages.end(), [this](const MessagePtr& m) { return isFunctionRunning(*m); });
}

void ConversationController::deleteFrom(const MessagePtr& message)
{
    const std::vector<MessagePtr> messages = orderedMessages(*m_conversation);
    for (auto it = std::find(messages.begin(), messages.end(), message); it != messages.end(); ++it)
        m_context.deleteMessage(*it);
    saveChanges(m_context);
}

bool ConversationController::canRegenerate() const
{
    return !isBusy() && firstAfterNewestPrompt(orderedMessages(*m_conversation));
}

bool ConversationController::regenerate()
{
    if (isBusy())
        return false;
    const MessagePtr from = firstAfterNewestPrompt(orderedMessages(*m_conversation));
    if (!from)
        return false;
    deleteFrom(from);
    m_automaticRuns = 0;
    send();
    return true;
}

bool ConversationController::resubmit(const MessagePtr& userMessage, const QString& prompt)
{
    if (!userMessage || userMessage->isDeleted() || userMessage->role() != userRole
        || userMessage->conversation() != m_conversation || isBusy())
        return false;
    deleteFrom(userMessage);
    submit(prompt);
    return true;
}

MessagePtr ConversationController::send(const MessagePtr& userMessage)
{
    if (!conversationExists())
        return nullptr;
    // The history is what the conversation held before this turn, then the new prompt once.
    std::vector<MessagePtr> history = orderedMessages(*m_conversation);
    if (userMessage) {
        history.erase(std::remove(history.begin(), history.end(), userMessage), history.end());
        history.push_back(userMessage);
    }

    m_conversation->setUpdatedAt(QDateTime::currentDateTimeUtc());
    MessagePtr reply = makeMessage(m_context, assistantRole, QString(), m_conversation, std::nullopt, false);
    saveChanges(m_context);

    const AssistantPtr assistant = m_conversation->assistant();
    const QString systemPrompt = assistant ? assistant->personality().value_or(QString()) : QString();

    ChatReply* stream = OpenAiService::sendChat(systemPrompt, history, this);
    connect(stream, &ChatReply::piece, this,
            [this, stream, reply](const ParsedDelta& delta) { takeDelta(stream, reply, delta); });
    connect(stream, &ChatReply::finished, this, [this, stream, reply] { finishTurn(reply, stream); });
    connect(stream, &ChatReply::failed, this,
            [this, stream, reply](const QString& text) { failTurn(reply, stream, text); });
    m_streams.insert(stream, reply);
    // The request was built just now, on this thread, from the same settings.
    m_streamOffers.insert(stream, offeredFunctionNames());
    m_offered.insert(reply->primaryKey(), m_streamOffers.value(stream));
    Q_EMIT runningTurnsChanged();
    return reply;
}

MessagePtr ConversationController::messageForCall(ChatReply* stream, const MessagePtr& reply, int index)
{
    if (index == 0)
        return reply;
    MessagePtr& message = m_laterCalls[stream][index];
    if (!message && conversationExists()) {
        message = makeMessage(m_context, assistantRole, QString(), m_conversation, std::nullopt, false);
        m_offered.insert(message->primaryKey(), m_streamOffers.value(stream));
    }
    return message ? message : reply;
}

void ConversationController::takeDelta(ChatReply* stream, const MessagePtr& reply, const ParsedDelta& delta)
{
    if (delta.usage) {
        const Usage& usage = *delta.usage;
        if (conversationExists() && !reply->isDeleted()) {
            reply->setPromptTokens(usage.prompt_tokens);
            reply->setCompletionTokens(usage.completion_tokens);
            reply->setReasoningTokens(usage.reasoning_tokens);
            saveChanges(m_context);
        }
        return;
    }
    qsizetype& received = m_receivedText[stream];
    const qsizetype size = delta.content.value_or(QString()).size() + delta.functionName.value_or(QString()).size()
                         + delta.functionArguments.value_or(QString()).size()
                         + delta.reasoning.value_or(QString()).size();
    const MessagePtr message = messageForCall(stream, reply, delta.callIndex);
    if (received + size <= replyTextLimit) {
        received += size;
        if (applyDelta(message, delta)) {
            noteTiming(stream, *reply, delta);
            saveChanges(m_context);
        }
        return;
    }
    // Text up to the limit is kept, thinking first as it came first; a call
    // cut short is dropped when the reply is settled.
    ParsedDelta kept;
    kept.contentIsReasoning = delta.contentIsReasoning;
    if (delta.reasoning)
        kept.reasoning = fitting(*delta.reasoning, replyTextLimit - received);
    if (delta.content)
        kept.content = fitting(*delta.content, replyTextLimit - received - kept.reasoning.value_or(QString()).size());
    if (applyDelta(message, kept))
        saveChanges(m_context);
    cutReply(stream);
}

void ConversationController::forgetStream(ChatReply* stream)
{
    // Perhaps called from one of the reply's own signals.
    stream->abort();
    stream->deleteLater();
    m_receivedText.remove(stream);
    m_streamOffers.remove(stream);
    m_clocks.remove(stream);
}

bool ConversationController::isStreaming(const Message& message) const
{
    for (const MessagePtr& reply : m_streams) {
        if (reply.get() == &message)
            return true;
    }
    return false;
}

void ConversationController::cutReply(ChatReply* stream)
{
    const MessagePtr reply = m_streams.take(stream);
    forgetStream(stream);
    const QMap<int, MessagePtr> laterCalls = m_laterCalls.take(stream);
    Q_EMIT runningTurnsChanged();
    settleStoppedReply(reply, false);
    for (const MessagePtr& call : laterCalls)
        settleStoppedReply(call, false);
    makeMessage(m_context, appRole, replyCutNotice, m_conversation, std::nullopt, false);
    saveChanges(m_context);
    Q_EMIT turnFinished(reply, false);
}

void ConversationController::applyPiece(const MessagePtr& message, const std::optional<QString>& content,
                                        const std::optional<QString>& name, const std::optional<QString>& arguments)
{
    if (applyDelta(message, ParsedDelta{content, name, arguments}))
        saveChanges(m_context);
}

bool ConversationController::applyDelta(const MessagePtr& message, const ParsedDelta& delta)
{
    // The conversation may be gone while its controller waits for deletion.
    if (!conversationExists() || message->isDeleted())
        return false;
    if (delta.contentIsReasoning && isNonEmpty(message->content())) {
        // Observers hear of each change at once: the text leaves the answer
        // before it joins the thinking, so it is never in both.
        const QString earlier = *message->content();
        message->setContent(QString());
        message->setReasoning(message->reasoning().value_or(QString()) + earlier);
    }
    if (delta.reasoning)
        message->appendReasoning(*delta.reasoning);
    if (delta.content)
        message->appendContent(*delta.content);
    if (delta.functionName)
        message->appendFunctionName(*delta.functionName);
    if (delta.functionArguments)
        message->appendFunctionArguments(*delta.functionArguments);
    return true;
}

void ConversationController::noteTiming(ChatReply* stream, Message& reply, const ParsedDelta& delta)
{
    const bool answers = isNonEmpty(delta.content) || isNonEmpty(delta.functionName)
                      || isNonEmpty(delta.functionArguments);
    if (!answers && !isNonEmpty(delta.reasoning))
        return;
    QElapsedTimer& clock = m_clocks[stream];
    if (!clock.isValid())
        clock.start();
    const qint64 elapsed = clock.elapsed();
    reply.setReplyMs(elapsed);
    if (answers && isNonEmpty(reply.reasoning()) && !reply.thinkingMs())
        reply.setThinkingMs(elapsed);
}

void ConversationController::finishTurn(const MessagePtr& message, ChatReply* stream)
{
    if (!conversationExists() || message->isDeleted()) {
        qCInfo(lcChat) << "The end of a reply for a deleted conversation is ignored";
        return;
    }
    if (!m_streams.remove(stream))
        return; // stopped by the user: already settled
    forgetStream(stream);
    const QMap<int, MessagePtr> laterCalls = m_laterCalls.take(stream);
    Q_EMIT runningTurnsChanged();
    message->setDone(true);
    for (const MessagePtr& call : laterCalls) {
        // Pieces that never named a function leave nothing to show or run.
        if (call->isDeleted())
            continue;
        if (isNonEmpty(call->functionName()))
            call->setDone(true);
        else
            m_context.deleteMessage(call);
    }
    saveChanges(m_context);
    Q_EMIT turnFinished(message, true);
    // The calls of one reply run one after the other, in the order asked.
    if (shouldRunAutomatically(*message))
        startFunction(message);
    else if (!awaitsConfirmation(*message))
        advanceCalls(message);
}

bool ConversationController::advanceCalls(const MessagePtr& message)
{
    const std::vector<MessagePtr> messages = orderedMessages(*m_conversation);
    auto it = std::find(messages.begin(), messages.end(), message);
    if (it == messages.end())
        return false;
    // The reply's calls follow it directly; anything else ends them.
    for (++it; it != messages.end() && (*it)->role() == assistantRole; ++it) {
        const Message& call = **it;
        if (!call.done() || !isNonEmpty(call.functionName()) || call.functionResult())
            continue;
        if (isFunctionRunning(call))
            return true; // its own end moves on
        if (shouldRunAutomatically(call)) {
            startFunction(*it);
            return true;
        }
        if (awaitsConfirmation(call)) {
            Q_EMIT confirmationNeeded(*it);
            return true;
        }
    }
    return false;
}

void ConversationController::failTurn(const MessagePtr& message, ChatReply* stream, const QString& text)
{
    if (!conversationExists() || message->isDeleted()) {
        qCInfo(lcChat) << "The failure of a reply for a deleted conversation is ignored";
        return;
    }
    if (!m_streams.remove(stream))
        return;
    forgetStream(stream);
    // Calls after the first are whole only when the reply ends well.
    for (const MessagePtr& call : m_laterCalls.take(stream)) {
        if (!call->isDeleted())
            m_context.deleteMessage(call);
    }
    Q_EMIT runningTurnsChanged();
    // A reply that had begun is kept as it stands; the notice follows it.
    if (hasReceivedAnything(*message)) {
        makeMessage(m_context, appRole, text, m_conversation, std::nullopt, false);
    } else {
        message->setRole(appRole);
        message->setContent(text);
    }
    saveChanges(m_context);
    Q_EMIT turnFinished(message, false);
}

bool ConversationController::hasFunctionRun(const Message& message) const
{
    return m_functionRuns.contains(message.primaryKey());
}

bool ConversationController::isFunctionRunning(const Message& message) const
{
    return hasFunctionRun(message) && !message.functionResult();
}

std::optional<CustomFunction> ConversationController::offeredFunction(const Message& message) const
{
    const std::optional<QString>& name = message.functionName();
    if (!isNonEmpty(name))
        return std::nullopt;
    const auto offered = m_offered.constFind(message.primaryKey());
    const bool wasOffered = offered != m_offered.constEnd() ? offered->contains(*name) : isFunctionOffered(*name);
    return wasOffered ? findFunction(name) : std::nullopt;
}

std::optional<QString> ConversationController::confirmationText(const Message& message) const
{
    // The arguments are whole only once the reply is done.
    if (!message.done())
        return std::nullopt;
    if (const auto kept = m_confirmations.constFind(message.primaryKey()); kept != m_confirmations.constEnd())
        return *kept;
    const std::optional<CustomFunction> function = offeredFunction(message);
    if (!function || !function->confirmationText)
        return std::nullopt;
    const std::optional<QString> text = function->confirmationText(message.functionArguments());
    m_confirmations.insert(message.primaryKey(), text);
    return text;
}

bool ConversationController::shouldRunAutomatically(const Message& message) const
{
    if (!message.done() || !isNonEmpty(message.functionName()) || message.functionResult() || hasFunctionRun(message)
        || message.role() != assistantRole || m_automaticRuns >= automaticRunLimit)
        return false;
    const auto function = offeredFunction(message);
    return function && !function->requiresConfirmation;
}

bool ConversationController::awaitsConfirmation(const Message& message) const
{
    if (!message.done() || !isNonEmpty(message.functionName()) || message.functionResult() || hasFunctionRun(message))
        return false;
    const auto function = offeredFunction(message);
    if (!function)
        return false;
    if (function->requiresConfirmation)
        return confirmationText(message).has_value();
    return m_automaticRuns >= automaticRunLimit;
}

void ConversationController::runFunction(const MessagePtr& message)
{
    // The user's press starts a new row of automatic runs.
    if (message && awaitsConfirmation(*message))
        m_automaticRuns = 0;
    startFunction(message);
}

void ConversationController::startFunction(const MessagePtr& message)
{
    if (!message || !conversationExists() || message->isDeleted() || hasFunctionRun(*message)
        || message->functionResult())
        return;
    const std::optional<CustomFunction> function = offeredFunction(*message);
    if (function && !function->requiresConfirmation)
        ++m_automaticRuns;
    m_functionRuns.insert(message->primaryKey());
    QPointer<ConversationController> self(this);
    const std::optional<QString> confirmed = function && function->requiresConfirmation ? confirmationText(*message)
                                                                                        : std::nullopt;
    const qint64 key = message->primaryKey();
    m_functionStops.insert(key, runFunctionCall(m_context, message, function, confirmed, [self, message, key] {
                               if (!self)
                                   return;
                               const std::shared_ptr<FunctionStop> stop = self->m_functionStops.take(key);
                               // The conversation may have been deleted while the function ran.
                               if (!self->conversationExists())
                                   return;
                               Q_EMIT self->functionFinished(message);
                               // The user stopped it: the model hears of it with the next prompt.
                               if (stop && stop->isRequested())
                                   return;
                               if (!self->advanceCalls(message))
                                   self->send();
                           }));
    Q_EMIT functionStarted(message);
}

void ConversationController::stopFunctions()
{
    // A copy: a stop's action may finish its run and change the running set.
    const QList<std::shared_ptr<FunctionStop>> stops = m_functionStops.values();
    for (const std::shared_ptr<FunctionStop>& stop : stops)
        stop->request();
}

void ConversationController::runPendingFunctions()
{
    if (!conversationExists())
        return;
    // One at a time: each call's end moves on to the next of its reply.
    for (const MessagePtr& message : orderedMessages(*m_conversation)) {
        if (isFunctionRunning(*message))
            return;
        if (shouldRunAutomatically(*message)) {
            startFunction(message);
            return;
        }
    }
}

void ConversationController::stopStreaming()
{
    if (m_streams.isEmpty())
        return;
    const QHash<ChatReply*, MessagePtr> stopped = std::exchange(m_streams, {});
    const QHash<ChatReply*, QMap<int, MessagePtr>> laterCalls = std::exchange(m_laterCalls, {});
    for (auto it = stopped.cbegin(); it != stopped.cend(); ++it) {
        forgetStream(it.key());
        settleStoppedReply(it.value());
        for (const MessagePtr& call : laterCalls.value(it.key()))
            settleStoppedReply(call);
    }
    saveChanges(m_context);
    Q_EMIT runningTurnsChanged();
}

void ConversationController::settleStoppedReply(const MessagePtr& message, bool announce)
{
    if (!conversationExists() || message->isDeleted())
        return;
    // Half a function call names no complete arguments: it must never run.
    if (message->functionName() || message->functionArguments()) {
        message->setFunctionName(std::nullopt);
        message->setFunctionArguments(std::nullopt);
    }
    if (!hasReceivedAnything(*message)) {
        m_context.deleteMessage(message);
        return;
    }
    message->setDone(true);
    if (announce)
        Q_EMIT turnFinished(message, true);
}

void ConversationController::deleteConversation(const std::function<void()>& onDeleted)
{
    if (onDeleted)
        onDeleted();
    for (ChatReply* stream : m_streams.keys())
        forgetStream(stream);
    m_streams.clear();
    m_laterCalls.clear();
    Q_EMIT runningTurnsChanged();
    ::deleteConversation(m_context, m_conversation);
}

ConversationControllerRegistry::ConversationControllerRegistry(StoreContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{
    connect(&context, &StoreContext::conversationRemoved, this, [this](const ConversationPtr& c) {
        if (ConversationController* controller = m_controllers.take(c->primaryKey()))
            controller->deleteLater();
    });
}

ConversationController& ConversationControllerRegistry::controllerFor(const ConversationPtr& conversation)
{
    ConversationController*& controller = m_controllers[conversation->primaryKey()];
    if (!controller)
        controller = new ConversationController(m_context, conversation, this);
    return *controller;
}
