#include "extensions/StdioTransport.h"

#include "extensions/ExtensionsLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>

#include <unistd.h>

namespace {

// Time a server gets to end by itself once its input is closed, then after
// SIGTERM, before its group is killed.
constexpr int closeGraceMs = 500;
constexpr int termGraceMs = 2000;

// Every server process not yet gone, so quitting can end them all.
QSet<QProcess*>& liveProcesses()
{
    static QSet<QProcess*> processes;
    return processes;
}

void signalGroup(qint64 pid, int signal)
{
    if (pid > 0)
        ::kill(-pid_t(pid), signal);
}

// The command as found on the login PATH: QProcess would search the app's own.
QString resolvedProgram(const QString& command, const QProcessEnvironment& environment)
{
    if (command.contains(QLatin1Char('/')))
        return command.startsWith(QLatin1String("~/")) ? QDir::homePath() + command.mid(1) : command;
    const QStringList path = environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return QStandardPaths::findExecutable(command, path);
}

} // namespace

StdioTransport::StdioTransport(QString command, QStringList args, const QProcessEnvironment& environment,
                               QObject* parent)
    : ToolServerTransport(parent)
    , m_command(std::move(command))
    , m_args(std::move(args))
    , m_environment(environment)
{
}

StdioTransport::~StdioTransport() { close(); }

void StdioTransport::open()
{
    const QString program = resolvedProgram(m_command, m_environment);
    if (program.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT ended(QStringLiteral("\"%1\" was not found on the login PATH").arg(m_command)); },
            Qt::QueuedConnection);
        return;
    }
    // No parent: the process outlives this transport until it is gone.
    m_process = new QProcess;
    liveProcesses().insert(m_process);
    // Listed until deleted, so one whose deletion is still pending at exit is reachable.
    connect(m_process, &QObject::destroyed, [process = m_process] { liveProcesses().remove(process); });
    m_process->setProgram(program);
    m_process->setArguments(m_args);
    m_process->setProcessEnvironment(m_environment);
    m_process->setWorkingDirectory(QDir::homePath());
    // A group of its own, so what the server starts ends with it.
    m_process->setChildProcessModifier([] { ::setsid(); });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &StdioTransport::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, &StdioTransport::readErrors);
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        readOutput();
        readErrors();
        close();
        Q_EMIT ended(status == QProcess::NormalExit ? QStringLiteral("exited with status %1").arg(code)
                                                    : QStringLiteral("was ended by a signal"));
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        const QString reason = QStringLiteral("could not be started: %1").arg(m_process->errorString());
        close();
        Q_EMIT ended(reason);
    });
    m_process->start();
}

void StdioTransport::send(const QJsonObject& message)
{
    if (m_process)
        m_process->write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
}

void StdioTransport::readOutput()
{
    if (!m_process)
        return;
    m_output.append(m_process->readAllStandardOutput(), [this](QByteArrayView line) {
        const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray());
        if (document.isObject())
            Q_EMIT received(document.object());
        else if (!line.trimmed().isEmpty())
            Q_EMIT logLine(QStringLiteral("[not a message on standard output] ")
                           + QString::fromUtf8(line.first(std::min<qsizetype>(line.size(), 200))));
    });
    if (m_output.overflowed()) {
        close();
        Q_EMIT ended(QStringLiteral("sent a message over %1 MB").arg(maxToolServerMessageBytes / (1024 * 1024)));
    }
}

void StdioTransport::readErrors()
{
    if (!m_process)
        return;
    m_errors.append(m_process->readAllStandardError(),
                    [this](QByteArrayView line) { Q_EMIT logLine(QString::fromUtf8(line)); });
    if (m_errors.overflowed()) {
        m_errors.reset();
        Q_EMIT logLine(QStringLiteral("[a line too long to keep]"));
    }
}

void StdioTransport::close()
{
    QProcess* process = std::exchange(m_process, nullptr);
    if (!process)
        return;
    process->disconnect(this);
    const qint64 pid = process->processId();
    auto gone = [process, pid] {
        signalGroup(pid, SIGKILL); // anything of its group left behind
        process->deleteLater();
    };
    if (process->state() == QProcess::NotRunning) {
        gone();
        return;
    }
    connect(process, &QProcess::finished, process, gone);
    process->closeWriteChannel();
    QTimer::singleShot(closeGraceMs, process, [pid] { signalGroup(pid, SIGTERM); });
    QTimer::singleShot(closeGraceMs + termGraceMs, process, [pid] { signalGroup(pid, SIGKILL); });
}

void StdioTransport::endAllNow()
{
    const QSet<QProcess*> processes = liveProcesses();
    for (QProcess* process : processes) {
        process->closeWriteChannel();
        signalGroup(process->processId(), SIGTERM);
    }
    const QDeadlineTimer deadline(termGraceMs);
    for (QProcess* process : processes) {
        const qint64 pid = process->processId();
        process->waitForFinished(int(std::max<qint64>(0, deadline.remainingTime())));
        signalGroup(pid, SIGKILL);
    }
    qCDebug(lcExtensions) << "Ended" << processes.size() << "tool servers";
}
