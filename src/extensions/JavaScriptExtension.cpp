#include "extensions/JavaScriptExtension.h"

#include "extensions/ArgumentPreview.h"
#include "extensions/FunctionArguments.h"
#include "extensions/FunctionExecutionError.h"

#include <QJSEngine>
#include <QJSValue>
#include <QLoggingCategory>

#include <condition_variable>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcJavaScript, "vorbel.extensions.javascript")

namespace {

const QString failureText = QStringLiteral("Unable to run script");

// Interrupts the engine when the time limit passes before it is stopped.
class Watchdog {
public:
    Watchdog(QJSEngine& engine, std::chrono::milliseconds limit)
        : m_thread([this, &engine, limit] {
            std::unique_lock lock(m_mutex);
            if (!m_condition.wait_for(lock, limit, [this] { return m_stopped; })) {
                m_fired = true;
                engine.setInterrupted(true);
            }
        })
    {
    }
    ~Watchdog() { stop(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Returns whether the limit had passed.
    bool stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_condition.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        return m_fired;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_stopped = false;
    bool m_fired = false;
    std::thread m_thread; // last: starts once the members above exist
};

QString evaluate(const QString& script, std::chrono::milliseconds timeLimit)
{
    // A fresh engine per call: nothing survives between calls. It has no file,
    // network or timer functions, as none of its extensions are installed.
    QJSEngine engine;
    std::optional<QString> exception;
    Watchdog watchdog(engine, timeLimit);

    QStringList stackTrace;
    const QJSValue completion = engine.evaluate(script, QString(), 1, &stackTrace);
    // A thrown value always carries a stack trace; an interrupted run has none
    // but comes back as an error object.
    if (!stackTrace.isEmpty() || (engine.isInterrupted() && completion.isError()))
        exception = completion.toString();

    std::optional<QJSValue> stringified;
    if (!exception) {
        const QJSValue serialiser = engine.evaluate(QStringLiteral("JSON.stringify"));
        if (serialiser.isCallable()) {
            const QJSValue value = serialiser.call({completion});
            // The serialiser only ever returns a string or undefined, so an error
            // object is what it threw (a circular structure, an interruption).
            if (value.isError())
                exception = value.toString();
            else
                stringified = value;
        }
    }
    if (watchdog.stop())
        qCInfo(lcJavaScript) << "Script interrupted after" << timeLimit.count() << "ms";

    if (exception)
        return *exception;
    try {
        if (stringified && (stringified->isString() || stringified->isNumber()))
            return stringified->toString();
        throw FunctionExecutionError(stringified ? std::optional<QString>(stringified->toString()) : std::nullopt);
    } catch (const FunctionExecutionError& error) {
        qCInfo(lcJavaScript) << "Unexpected completion value" << error.printable().value_or(QString());
        return failureText;
    }
}

} // namespace

QString executeJavaScript(const std::optional<QString>& arguments, std::chrono::milliseconds timeLimit)
{
    if (!arguments)
        return failureText;
    const auto object = decodeArgumentObjectWithoutLineFeeds(*arguments);
    if (!object)
        return failureText;
    std::optional<QString> script;
    try {
        script = optionalText(*object, QStringLiteral("script"));
    } catch (const ArgumentDecodingError&) {
        return failureText;
    }
    return evaluate(script.value_or(QString()), timeLimit);
}

CustomExtension makeJavaScriptExtension()
{
    CustomFunction function;
    function.name = QStringLiteral("Execute javascript");
    function.requiresConfirmation = false;
    function.apiDefinition.name = QStringLiteral("jsExecution");
    function.apiDefinition.description = QStringLiteral(
        "Evaluates the provided JS script using Swift's JSContext. Multi-line code is encouraged for readability. "
        "No async code is supported");
    function.apiDefinition.parameters.properties = {
        {QStringLiteral("script"), Property{QStringLiteral("string"), QStringLiteral("The script that should be executed"), std::nullopt}}};
    function.apiDefinition.parameters.required = {QStringLiteral("script")};
    function.execution = [](const std::optional<QString>& arguments) { return executeJavaScript(arguments); };
    function.preview = [](const std::optional<QString>& arguments) {
        return wrappedArgumentPreview(QStringLiteral("Executing\n```\n"), QStringLiteral("script"), arguments);
    };

    CustomExtension extension;
    extension.id = QStringLiteral("jsExecution");
    extension.userFacingName = QStringLiteral("JavaScript functions");
    extension.userFacingDescription =
        QStringLiteral("Allows assistants to execute JavaScript functions to answer prompts.");
    extension.enabledByDefault = true;
    extension.mayBeEnabled = [] { return true; };
    extension.functions = {function};
    return extension;
}
