#include "extensions/LoginEnvironment.h"

#include "core/PoolTask.h"
#include "extensions/ExtensionsLog.h"
#include "extensions/FunctionCallRunner.h"

#include <QMutex>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int shellTimeoutMs = 10000;
constexpr qint64 maxOutputBytes = 1024 * 1024;

// The one read of this run, shared by every caller; empty until the first
// call and after forgetForTesting().
QMutex mutex;
QFuture<QProcessEnvironment> reading;

QString loginShell()
{
    const QString shell = qEnvironmentVariable("SHELL");
    if (!shell.isEmpty())
        return shell;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_shell && *entry->pw_shell)
        return QString::fromLocal8Bit(entry->pw_shell);
    return QStringLiteral("/bin/sh");
}

// "K=V" entries split by NUL. A login shell may print a greeting before the
// first entry; only well-formed names are taken.
QProcessEnvironment parse(const QByteArray& output)
{
    static const QRegularExpression namePattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    QProcessEnvironment environment;
    for (QByteArray entry : output.split('\0')) {
        if (environment.isEmpty())
            entry = entry.mid(entry.lastIndexOf('\n') + 1);
        const qsizetype equals = entry.indexOf('=');
        const QString name = QString::fromLocal8Bit(entry.left(equals));
        if (equals > 0 && namePattern.match(name).hasMatch())
            environment.insert(name, QString::fromLocal8Bit(entry.mid(equals + 1)));
    }
    return environment;
}

QProcessEnvironment readLoginEnvironment()
{
    QProcess shell;
    shell.setChildProcessModifier([] { ::setsid(); });
    shell.start(loginShell(), {QStringLiteral("-l"), QStringLiteral("-c"), QStringLiteral("env -0")});
    shell.closeWriteChannel();
    const bool finished = shell.waitForFinished(shellTimeoutMs);
    if (!finished && shell.processId() > 0)
        ::kill(-pid_t(shell.processId()), SIGKILL); // what it started too
    const QByteArray output = shell.readAllStandardOutput().left(maxOutputBytes);
    QProcessEnvironment environment = finished ? parse(output) : QProcessEnvironment();
    if (!finished || shell.exitCode() != 0 || !environment.contains(QStringLiteral("PATH"))) {
        qCInfo(lcExtensions) << "The login shell gave no environment; the app's own is used";
        return QProcessEnvironment::systemEnvironment();
    }
    return environment;
}

} // namespace

namespace LoginEnvironment {

void whenReady(QObject* context, std::function<void(const QProcessEnvironment&)> ready)
{
    QMutexLocker lock(&mutex);
    if (!reading.isValid())
        reading = QtConcurrent::run(&blockingExtensionThreadPool(), readLoginEnvironment);
    deliverWhenFinished(reading, context, std::move(ready));
}

void forgetForTesting()
{
    QMutexLocker lock(&mutex);
    reading = {};
}

} // namespace LoginEnvironment
