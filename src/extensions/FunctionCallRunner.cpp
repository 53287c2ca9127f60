#include "extensions/FunctionCallRunner.h"

#include "extensions/ExtensionRegistry.h"
#include "extensions/FunctionStop.h"
#include "store/StoreContext.h"
#include "store/StoreOperations.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <exception>
#include <limits>

Q_LOGGING_CATEGORY(lcFunctionCalls, "vorbel.extensions")

namespace {

// Records on the UI thread, where the context lives. The guard is checked
// there, so a context destroyed meanwhile is never touched.
void recordLater(const QPointer<StoreContext>& guard, MessagePtr message, QString result,
                 std::function<void()> onRecorded)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [guard, message = std::move(message), result = std::move(result), onRecorded = std::move(onRecorded)] {
            if (!guard)
                return;
            message->setFunctionResult(result);
            saveContext(*guard);
            if (onRecorded)
                onRecorded();
        },
        Qt::QueuedConnection);
}

QString execute(const QString& name, const std::function<QString()>& work)
{
    try {
        return work();
    } catch (const std::exception& error) {
        qCInfo(lcFunctionCalls) << "Function" << name << "failed:" << error.what();
    } catch (...) {
        qCInfo(lcFunctionCalls) << "Function" << name << "failed";
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
    QPointer<StoreContext> guard(&context);
    auto stop = std::make_shared<FunctionStop>();
    if (!function || !function->execution) {
        recordLater(guard, message, unknownFunctionNameResult, std::move(onRecorded));
        return stop;
    }
    std::function<QString()> work;
    if (function->confirmedExecution) {
        // Only the text the user saw runs; without one nothing does.
        if (!confirmedText) {
            recordLater(guard, message, unexpectedFunctionResult, std::move(onRecorded));
            return stop;
        }
        work = [run = function->confirmedExecution, text = *confirmedText] { return run(text); };
    } else {
        work = [run = function->execution, arguments = message->functionArguments()] { return run(arguments); };
    }
    QThreadPool& pool = function->blocksIndefinitely ? blockingExtensionThreadPool() : extensionThreadPool();
    pool.start([guard, message, stop, name = function->apiDefinition.name, work = std::move(work),
                onRecorded = std::move(onRecorded)]() mutable {
        QString result;
        {
            const FunctionStop::Scope scope(stop);
            result = execute(name, work);
        }
        // What a stopped execution returned (a partial output, a failure) is
        // not an answer the model should build on.
        if (stop->isRequested()) {
            qCInfo(lcFunctionCalls) << "Function" << name << "stopped by the user";
            result = QString::fromUtf16(stoppedFunctionResult);
        }
        recordLater(guard, message, std::move(result), std::move(onRecorded));
    });
    return stop;
}
