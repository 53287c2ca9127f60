#include "extensions/FunctionCallRunner.h"

#include "core/PoolTask.h"
#include "extensions/ExtensionRegistry.h"
#include "extensions/ExtensionsLog.h"
#include "extensions/FunctionStop.h"
#include "store/StoreContext.h"
#include "store/StoreOperations.h"

#include <QMetaObject>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <exception>
#include <limits>

namespace {

// Records the outcome on the UI thread, where the context lives.
auto recorder(StoreContext& context, MessagePtr message, std::function<void()> onRecorded)
{
    return [&context, message = std::move(message), onRecorded = std::move(onRecorded)](const QString& result) {
        message->setFunctionResult(result);
        saveChanges(context);
        if (onRecorded)
            onRecorded();
    };
}

// An outcome known at once is still recorded later, as promised, and never
// once the context is gone (a queued call dies with its receiver).
void recordLater(StoreContext& context, MessagePtr message, QString result, std::function<void()> onRecorded)
{
    QMetaObject::invokeMethod(
        &context,
        [record = recorder(context, std::move(message), std::move(onRecorded)), result = std::move(result)] {
            record(result);
        },
        Qt::QueuedConnection);
}

QString execute(const QString& name, const std::function<QString()>& work)
{
    try {
        return work();
    } catch (const std::exception& error) {
        qCInfo(lcExtensions) << "Function" << name << "failed:" << error.what();
    } catch (...) {
        qCInfo(lcExtensions) << "Function" << name << "failed";
    }
    return unexpectedFunctionResult;
}

} // namespace

QThreadPool& extensionThreadPool()
{
    // Never destroyed: a request may still be waiting when the program quits,
    // and waiting for it would hold up the exit.
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(8, QThread::idealThreadCount()));
        return p;
    }();
    return *pool;
}

QThreadPool& blockingExtensionThreadPool()
{
    // Never destroyed either: a shell command may still be reading at exit.
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::numeric_limits<int>::max());
        return p;
    }();
    return *pool;
}

std::shared_ptr<FunctionStop> runFunctionCall(StoreContext& context, const MessagePtr& message,
                                              std::function<void()> onRecorded)
{
    const std::optional<CustomFunction> function = findFunction(message->functionName());
    std::optional<QString> confirmedText;
    if (function && function->confirmationText)
        confirmedText = function->confirmationText(message->functionArguments());
    return runFunctionCall(context, message, function, confirmedText, std::move(onRecorded));
}

std::shared_ptr<FunctionStop> runFunctionCall(StoreContext& context, const MessagePtr& message,
                                              const std::optional<CustomFunction>& function,
                                              const std::optional<QString>& confirmedText,
                                              std::function<void()> onRecorded)
{
    Q_ASSERT(QThread::currentThread() == context.thread());
    Q_ASSERT(message);
    auto stop = std::make_shared<FunctionStop>();
    if (!function || !function->execution) {
        recordLater(context, message, unknownFunctionNameResult, std::move(onRecorded));
        return stop;
    }
    std::function<QString()> work;
    if (function->confirmedExecution) {
        // Only the text the user saw runs; without one nothing does.
        if (!confirmedText) {
            recordLater(context, message, unexpectedFunctionResult, std::move(onRecorded));
            return stop;
        }
        work = [run = function->confirmedExecution, text = *confirmedText] { return run(text); };
    } else {
        work = [run = function->execution, arguments = message->functionArguments()] { return run(arguments); };
    }
    QThreadPool& pool = function->blocksIndefinitely ? blockingExtensionThreadPool() : extensionThreadPool();
    const QString name = function->apiDefinition.name;
    auto run = [stop, name, work = std::move(work)] {
        QString result;
        {
            const FunctionStop::Scope scope(stop);
            result = execute(name, work);
        }
        // What a stopped execution returned (a partial output, a failure) is
        // not an answer the model should build on.
        if (stop->isRequested()) {
            qCInfo(lcExtensions) << "Function" << name << "stopped by the user";
            result = QString::fromUtf16(stoppedFunctionResult);
        }
        return result;
    };
    runInPool(pool, &context, std::move(run), recorder(context, message, std::move(onRecorded)));
    return stop;
}
