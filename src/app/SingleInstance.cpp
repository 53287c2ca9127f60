#include "app/SingleInstance.h"

#include "app/AppLog.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <sys/socket.h>
#include <unistd.h>

namespace {

const QByteArray raiseLine = "raise\n";
const QByteArray newWindowLine = "new-window\n";
const QByteArray confirmedLine = "ok\n";
// Longer than any line of the protocol: a peer that sends more is cut off.
constexpr qint64 maxLine = 32;

bool isSameUser(const QLocalSocket& socket)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
        && peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_path(std::move(socketPath))
{
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath()
{
    // Qt makes sure this folder is the user's alone (creating a 0700 one under
    // /tmp when XDG_RUNTIME_DIR is unset).
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QByteArray data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toUtf8();
    const QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().left(16);
    return runtime + QStringLiteral("/vorbel-") + QString::fromLatin1(digest);
}

bool SingleInstance::forwardOrListen(Request request, int waitMs)
{
    // Two programs started at once must not both take the socket over.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(2 * waitMs))
        qCWarning(lcApp) << "instance lock not taken:" << lock.error();
    if (forward(request, waitMs))
        return true;
    listen();
    return false;
}

bool SingleInstance::forward(Request request, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false; // nobody there, or a socket left by a crash
    socket.write(request == Request::NewWindow ? newWindowLine : raiseLine);
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < maxLine && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        answer += socket.read(maxLine);
    }
    if (answer.startsWith(confirmedLine))
        return true;
    qCWarning(lcApp) << "the running instance did not answer; this one takes over";
    return false;
}

void SingleInstance::listen()
{
    QLocalServer::removeServer(m_path);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_path))
        qCWarning(lcApp) << "no single-instance socket:" << m_server.errorString();
}

void SingleInstance::serve(QLocalSocket* socket)
{
    socket->setParent(this);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!isSameUser(*socket)) {
        socket->abort();
        return;
    }
    const auto readRequest = [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > maxLine)
                socket->abort();
            return;
        }
        const QByteArray line = socket->readLine(maxLine);
        if (line != raiseLine && line != newWindowLine) {
            socket->abort();
            return;
        }
        socket->write(confirmedLine);
        socket->disconnectFromServer();
        Q_EMIT requested(line == newWindowLine ? Request::NewWindow : Request::Raise);
    };
    connect(socket, &QLocalSocket::readyRead, socket, readRequest);
    // The request may have come with the connection.
    if (socket->bytesAvailable() > 0)
        readRequest();
}
