#include "vorbel-cli/ChatSession.h"

#include "core/UntrustedText.h"
#include "extensions/ExtensionRegistry.h"
#include "store/ConversationExport.h"
#include "store/StoreOperations.h"

#include <algorithm>

namespace {
const QString assistantRole = QStringLiteral("assistant");
const QString appRole = QStringLiteral("app");

bool hasFunctionCall(const Message& message) { return message.functionName() && !message.functionName()->isEmpty(); }
} // namespace

ChatSession::ChatSession(StoreContext& store, ConversationPtr conversation, CliIo& io, bool confirmEveryRun,
                         QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_conversation(conversation)
    , m_io(io)
    , m_confirmEveryRun(confirmEveryRun)
    , m_controller(store, std::move(conversation))
{
    connect(&m_store, &StoreContext::messageInserted, this, &ChatSession::trackMessage);
    connect(&m_store, &StoreContext::messageChanged, this, &ChatSession::printNewContent);
    connect(&m_controller, &ConversationController::turnFinished, this, &ChatSession::handleTurnFinished);
    connect(&m_controller, &ConversationController::functionFinished, this, &ChatSession::handleFunctionFinished);
    // A reply's later calls: shown when they run by themselves, asked about
    // like the first when they need confirmation.
    connect(&m_controller, &ConversationController::functionStarted, this, &ChatSession::announceCall);
    connect(&m_controller, &ConversationController::confirmationNeeded, this, [this](const MessagePtr& message) {
        if (m_exitCode)
            return;
        announceCall(message);
        confirmAndRun(message);
    });
}

int ChatSession::run(const QString& prompt)
{
    m_controller.submit(prompt);
    return runUntilRest();
}

int ChatSession::regenerate()
{
    if (!m_controller.regenerate())
        return reportError(m_io, ExitUsage, QStringLiteral("the conversation has no reply to regenerate"));
    return runUntilRest();
}

int ChatSession::runUntilRest()
{
    if (!m_exitCode)
        m_loop.exec();
    int code = m_exitCode.value_or(ExitFailure);
    // Every piece was saved as it came; whatever a failed save left behind is
    // tried once more, as nothing will save it after this process ends.
    if (m_store.hasChanges() && !saveChanges(m_store))
        code = reportError(m_io, ExitFailure, QStringLiteral("the conversation could not be saved completely"));
    return code;
}

void ChatSession::trackMessage(const MessagePtr& message)
{
    // Fields are set after the insertion, so the role is looked at later.
    if (message->conversation() == m_conversation)
        m_printed.insert(message->primaryKey(), 0);
}

void ChatSession::printNewContent(const MessagePtr& message)
{
    const auto printed = m_printed.find(message->primaryKey());
    if (printed == m_printed.end() || message->role() != assistantRole)
        return;
    const QString content = message->content().value_or(QString());
    const QString thinking = message->reasoning().value_or(QString());
    qsizetype& thought = m_thoughtPrinted[message->primaryKey()];
    // The text printed as answer turned out to be thinking: it is not printed twice.
    if (content.size() < *printed) {
        thought += *printed;
        *printed = content.size();
    }
    if (thinking.size() > thought) {
        printThinking(QStringView(thinking).mid(thought));
        thought = thinking.size();
    }
    if (content.size() <= *printed)
        return;
    endThinkingLine();
    m_io.out << QStringView(content).mid(*printed);
    m_io.out.flush();
    *printed = content.size();
}

void ChatSession::printThinking(QStringView text)
{
    // The styling is ours and goes around the text; the text itself stays escaped.
    if (m_io.errorTerminal) {
        m_io.err.flush();
        m_io.errorTerminal->write("\x1b[2m");
    }
    m_io.err << text;
    m_io.err.flush();
    if (m_io.errorTerminal)
        m_io.errorTerminal->write("\x1b[22m");
    m_thinkingLineOpen = !text.endsWith(QLatin1Char('\n'));
}

void ChatSession::endThinkingLine()
{
    if (!m_thinkingLineOpen)
        return;
    m_io.err << '\n';
    m_io.err.flush();
    m_thinkingLineOpen = false;
}

void ChatSession::endReplyLine(const MessagePtr& message)
{
    const qsizetype printed = m_printed.value(message->primaryKey());
    if (printed > 0 && !message->content().value_or(QString()).endsWith(QLatin1Char('\n'))) {
        m_io.out << '\n';
        m_io.out.flush();
    }
}

QString ChatSession::failureNotice(const MessagePtr& message) const
{
    if (message->role() == appRole)
        return message->content().value_or(QString());
    // A partial reply stays as it is; its notice is the app message after it.
    const std::vector<MessagePtr> messages = orderedMessages(*m_conversation);
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        if ((*it)->role() == appRole && m_printed.contains((*it)->primaryKey()))
            return (*it)->content().value_or(QString());
    }
    return QString();
}

void ChatSession::handleTurnFinished(const MessagePtr& message, bool completed)
{
    endThinkingLine();
    endReplyLine(message);
    if (!completed) {
        m_io.err << failureNotice(message) << '\n';
        m_io.err.flush();
        finish(ExitFailure);
        return;
    }
    if (hasFunctionCall(*message))
        handleFunctionCall(message);
    else
        finish(ExitSuccess);
}

void ChatSession::handleFunctionCall(const MessagePtr& message)
{
    // Only what the request offered runs; anything else is unknown here.
    const std::optional<CustomFunction> function = m_controller.offeredFunction(*message);
    if (!function) {
        handleUnknownFunction(message);
        return;
    }
    announceCall(message);
    // A function that needs no confirmation is run by the controller itself
    // once this signal returns.
    if (m_controller.shouldRunAutomatically(*message))
        return;
    if (!m_controller.awaitsConfirmation(*message)) {
        // A call whose arguments hold nothing that can run.
        finish(function->requiresConfirmation ? ExitFailure : ExitSuccess);
        return;
    }
    confirmAndRun(message);
}

void ChatSession::handleUnknownFunction(const MessagePtr& message)
{
    reportError(m_io, ExitFailure,
                QStringLiteral("the model asked for the unknown function \"%1\"; it was not run")
                    .arg(*message->functionName()));
    m_callFailed = true;
    // The controller goes on with the reply's further calls once this signal
    // returns; only when none of them runs is this the end.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!isAnyFunctionRunning())
                finish(ExitFailure);
        },
        Qt::QueuedConnection);
}

void ChatSession::announceCall(const MessagePtr& message)
{
    if (m_exitCode || m_announced.contains(message->primaryKey()))
        return;
    const auto function = m_controller.offeredFunction(*message);
    if (!function)
        return;
    m_announced.insert(message->primaryKey());
    m_io.err << "Function call: " << function->name << " (" << *message->functionName() << ")\n";
    if (function->requiresConfirmation) {
        // The very text that runs when the user says yes, and nothing of Markdown.
        const std::optional<QString> text = m_controller.confirmationText(*message);
        m_io.err << (text ? UntrustedText::escaped(*text, function->confirmationEscape)
                          : QStringLiteral("Unable to run script"))
                 << '\n';
        m_io.err.flush();
        return;
    }
    const QString preview = functionPreview(*message);
    if (!preview.isEmpty())
        m_io.err << preview << (preview.endsWith(QLatin1Char('\n')) ? "" : "\n");
    m_io.err.flush();
}

void ChatSession::confirmAndRun(const MessagePtr& message)
{
    if (m_confirmEveryRun || askToRun()) {
        m_controller.runFunction(message);
        return;
    }
    m_io.err << "The function was not run.\n";
    m_io.err.flush();
    finish(ExitSuccess);
}

bool ChatSession::isAnyFunctionRunning() const
{
    const std::vector<MessagePtr> messages = orderedMessages(*m_conversation);
    return std::any_of(messages.begin(), messages.end(),
                       [this](const MessagePtr& message) { return m_controller.isFunctionRunning(*message); });
}

bool ChatSession::askToRun()
{
    m_io.err << "Run function? [y/N] ";
    m_io.err.flush();
    const std::optional<QString> answer = m_io.readLine ? m_io.readLine() : std::nullopt;
    if (!answer) {
        m_io.err << '\n'; // end of input: the question's line is closed and the answer is no
        m_io.err.flush();
        return false;
    }
    const QString word = answer->trimmed().toLower();
    return word == QLatin1String("y") || word == QLatin1String("yes");
}

void ChatSession::handleFunctionFinished(const MessagePtr& message)
{
    m_io.err << "Result:\n" << ConversationExport::fencedBlock(message->functionResult().value_or(QString()));
    m_io.err.flush();
    // The controller starts the next turn with the result by itself.
}

void ChatSession::finish(int code)
{
    if (m_exitCode)
        return;
    m_exitCode = m_callFailed ? int(ExitFailure) : code;
    m_loop.quit();
}
