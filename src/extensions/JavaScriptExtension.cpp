#include "extensions/JavaScriptExtension.h"

#include "extensions/ArgumentPreview.h"
#include "extensions/ExtensionsLog.h"
#include "extensions/FunctionArguments.h"
#include "extensions/FunctionExecutionError.h"
#include "extensions/FunctionStop.h"

#include <QJSEngine>
#include <QJSValue>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

const QString failureText = QStringLiteral("Unable to run script");

// The process's resident memory, or 0 when it cannot be read.
std::size_t residentBytes()
{
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (!file)
        return 0;
    unsigned long total = 0;
    unsigned long resident = 0;
    const int read = std::fscanf(file, "%lu %lu", &total, &resident);
    std::fclose(file);
    return read == 2 ? std::size_t(resident) * std::size_t(sysconf(_SC_PAGESIZE)) : 0;
}

// Interrupts the engine when the time limit passes, or when the process has
// grown by more than the memory ceiling since the run began, before it is
// stopped. The engine exposes no heap size of its own, so the whole process
// is measured: a script filling memory is stopped before the system kills us.
class Watchdog {
public:
    enum class Reason { None, TimeLimit, MemoryCeiling };

    Watchdog(QJSEngine& engine, std::chrono::milliseconds limit, std::size_t memoryCeiling)
        : m_baseline(residentBytes())
        , m_thread([this, &engine, limit, memoryCeiling] {
            const auto deadline = std::chrono::steady_clock::now() + limit;
            std::unique_lock lock(m_mutex);
            while (!m_stopped) {
                const auto now = std::chrono::steady_clock::now();
                if (now >= deadline)
                    m_reason = Reason::TimeLimit;
                else if (m_baseline && residentBytes() > m_baseline + memoryCeiling)
                    m_reason = Reason::MemoryCeiling;
                if (m_reason != Reason::None) {
                    engine.setInterrupted(true);
                    return;
                }
                const auto nextCheck = std::min<std::chrono::steady_clock::duration>(checkInterval, deadline - now);
                m_condition.wait_for(lock, nextCheck, [this] { return m_stopped; });
            }
        })
    {
    }
    ~Watchdog() { stop(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Returns why the engine was interrupted, if it was.
    Reason stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_condition.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        return m_reason;
    }

private:
    static constexpr std::chrono::milliseconds checkInterval{10};

    std::size_t m_baseline;
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_stopped = false;
    Reason m_reason = Reason::None;
    std::thread m_thread; // last: starts once the members above exist
};

// Lets the user's stop interrupt an engine for as long as it lives, and not after.
class StoppableEngine {
public:
    explicit StoppableEngine(QJSEngine& engine)
        : m_target(std::make_shared<Target>())
    {
        m_target->engine = &engine;
        if (const std::shared_ptr<FunctionStop> stop = FunctionStop::current()) {
            stop->onStop([target = m_target] {
                std::lock_guard lock(target->mutex);
                if (target->engine)
                    target->engine->setInterrupted(true);
            });
        }
    }
    ~StoppableEngine()
    {
        std::lock_guard lock(m_target->mutex);
        m_target->engine = nullptr;
    }
    StoppableEngine(const StoppableEngine&) = delete;
    StoppableEngine& operator=(const StoppableEngine&) = delete;

private:
    struct Target {
        std::mutex mutex;
        QJSEngine* engine = nullptr;
    };
    std::shared_ptr<Target> m_target;
};

QString evaluate(const QString& script, std::chrono::milliseconds timeLimit, std::size_t memoryCeiling)
{
    // A fresh engine per call: nothing survives between calls. It has no file,
    // network or timer functions, as none of its extensions are installed.
    QJSEngine engine;
    std::optional<QString> exception;
    Watchdog watchdog(engine, timeLimit, memoryCeiling);
    const StoppableEngine stoppable(engine);

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
    switch (watchdog.stop()) {
    case Watchdog::Reason::None: break;
    case Watchdog::Reason::TimeLimit:
        qCInfo(lcExtensions) << "Script interrupted after" << timeLimit.count() << "ms";
        break;
    case Watchdog::Reason::MemoryCeiling:
        qCInfo(lcExtensions) << "Script interrupted: the process grew by more than" << memoryCeiling / (1024 * 1024)
                             << "MiB";
        return failureText;
    }

    if (exception)
        return *exception;
    try {
        if (stringified && (stringified->isString() || stringified->isNumber()))
            return stringified->toString();
        throw FunctionExecutionError(stringified ? std::optional<QString>(stringified->toString()) : std::nullopt);
    } catch (const FunctionExecutionError& error) {
        qCInfo(lcExtensions) << "Unexpected completion value" << error.printable().value_or(QString());
        return failureText;
    }
}

} // namespace

QString executeJavaScript(const std::optional<QString>& arguments, std::chrono::milliseconds timeLimit,
                          std::size_t memoryCeiling)
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
    QString result = evaluate(script.value_or(QString()), timeLimit, memoryCeiling);
    if (result.size() <= javaScriptResultLimit)
        return result;
    // A character that needs two code units stays whole.
    const qsizetype kept = result.at(javaScriptResultLimit - 1).isHighSurrogate() ? javaScriptResultLimit - 1
                                                                                  : javaScriptResultLimit;
    const qsizetype leftOut = result.size() - kept;
    result.truncate(kept);
    return result + QStringLiteral("\n[%1 characters left out]").arg(leftOut);
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
        {QStringLiteral("script"),
         Property{QStringLiteral("string"), QStringLiteral("The script that should be executed"), std::nullopt}}};
    function.apiDefinition.parameters.required = {QStringLiteral("script")};
    function.execution = [](const std::optional<QString>& arguments) { return executeJavaScript(arguments); };
    function.preview = [](const std::optional<QString>& arguments) {
        return wrappedArgumentPreview(QStringLiteral("Executing"), QStringLiteral("script"), arguments);
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
