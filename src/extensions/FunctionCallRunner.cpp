#include "extensions/FunctionCallRunner.h"

#include "extensions/ExtensionRegistry.h"
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
void recordLater(QPointer<StoreContext> guard, MessagePtr message, QString result,
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

QString execute(const CustomFunction& function, const std::optional<QString>& arguments)
{
    try {
        return function.execution(arguments);
    } catch (const std::exception& error) {
        qCInfo(lcFunctionCalls) << "Function" << function.apiDefinition.name << "failed:" << error.what();
    } catch (...) {
        qCInfo(lcFunctionCalls) << "Function" << function.apiDefinition.name << "failed";
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

void runFunctionCall(StoreContext& context, const MessagePtr& message, std::function<void()> onRecorded)
{
    Q_ASSERT(QThread::currentThread() == context.thread());
    Q_ASSERT(message);
    QPointer<StoreContext> guard(&context);
    const std::optional<CustomFunction> function = findFunction(message->functionName());
    if (!function || !function->execution) {
        recordLater(guard, message, unknownFunctionNameResult, std::move(onRecorded));
        return;
    }
    const std::optional<QString> arguments = message->functionArguments();
    QThreadPool& pool = function->blocksIndefinitely ? blockingExtensionThreadPool() : extensionThreadPool();
    pool.start([guard, message, function = *function, arguments, onRecorded = std::move(onRecorded)]() mutable {
        QString result = execute(function, arguments);
        recordLater(guard, std::move(message), std::move(result), std::move(onRecorded));
    });
}
