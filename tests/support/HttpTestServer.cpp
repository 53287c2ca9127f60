#include "support/HttpTestServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <optional>

namespace {

bool sameName(const QByteArray& a, const QByteArray& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool hasName(const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& name)
{
    for (const auto& h : headers)
        if (sameName(h.first, name))
            return true;
    return false;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool statusHasNoBody(int status) { return (status >= 100 && status < 200) || status == 204 || status == 304; }

} // namespace

QByteArray RecordedRequest::header(const QByteArray& name) const
{
    for (const auto& h : headers)
        if (sameName(h.first, name))
            return h.second;
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray& name) const { return hasName(headers, name); }

ScriptedResponse ScriptedResponse::text(int status, const QByteArray& body, const QByteArray& contentType)
{
    ScriptedResponse r;
    r.status = status;
    r.headers = {{"Content-Type", contentType}};
    r.pieces = {{0, body}};
    r.chunked = false;
    return r;
}

ScriptedResponse ScriptedResponse::sse(const QList<QByteArray>& pieces, int delayMs)
{
    ScriptedResponse r;
    r.headers = {{"Content-Type", "text/event-stream"}, {"Cache-Control", "no-cache"}};
    for (const QByteArray& p : pieces)
        r.pieces.append({delayMs, p});
    return r;
}

class HttpTestServer::Private {
public:
    mutable QMutex mutex;
    mutable QWaitCondition changed;
    QList<ScriptedResponse> queue;
    std::function<ScriptedResponse(const RecordedRequest&)> handler;
    QList<RecordedRequest> requests;

    QThread thread;
    QObject* home = nullptr; // lives on the server thread; parent of the listener and sockets
    QTcpServer* listener = nullptr;
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;

    ScriptedResponse answer(const RecordedRequest& request)
    {
        std::function<ScriptedResponse(const RecordedRequest&)> h;
        {
            QMutexLocker lock(&mutex);
            requests.append(request);
            changed.wakeAll();
            if (!handler) {
                if (queue.isEmpty())
                    return ScriptedResponse::text(404, {}, "text/plain");
                return queue.takeFirst();
            }
            h = handler;
        }
        return h(request);
    }

    void accept();
};

namespace {

constexpr int kDropDelayMs = 30;

// One accepted connection: parses requests one after another (keep-alive, pipelining)
// and plays the scripted answer of each before reading the next.
class Connection : public QObject {
public:
    Connection(QTcpSocket* socket, HttpTestServer::Private* server)
        : m_socket(socket)
        , m_server(server)
    {
        socket->setParent(this);
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        QObject::connect(socket, &QTcpSocket::disconnected, this, [this] { deleteLater(); });
        onReadyRead();
    }

private:
    void onReadyRead()
    {
        m_buffer += m_socket->readAll();
        if (!m_busy)
            parseNext();
    }

    // Returns the decoded body of a chunked request, or nothing while incomplete.
    std::optional<QByteArray> takeChunkedBody(qsizetype start, qsizetype* end) const
    {
        QByteArray body;
        qsizetype pos = start;
        for (;;) {
            const qsizetype lineEnd = m_buffer.indexOf("\r\n", pos);
            if (lineEnd < 0)
                return std::nullopt;
            bool ok = false;
            QByteArray sizeText = m_buffer.mid(pos, lineEnd - pos);
            const qsizetype semicolon = sizeText.indexOf(';');
            if (semicolon >= 0)
                sizeText.truncate(semicolon);
            const qsizetype size = sizeText.trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0)
                return QByteArray(); // malformed: treat as an empty body
            pos = lineEnd + 2;
            if (size == 0) {
                const qsizetype trailerEnd = m_buffer.indexOf("\r\n", pos);
                if (trailerEnd < 0)
                    return std::nullopt;
                *end = trailerEnd + 2;
                return body;
            }
            if (m_buffer.size() < pos + size + 2)
                return std::nullopt;
            body += m_buffer.mid(pos, size);
            pos += size + 2;
        }
    }

    void parseNext()
    {
        const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
        RecordedRequest request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        const QByteArray version = requestLine.value(2);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }

        qsizetype end = headEnd + 4;
        if (request.header("Transfer-Encoding").toLower().contains("chunked")) {
            const std::optional<QByteArray> body = takeChunkedBody(end, &end);
            if (!body)
                return;
            request.body = *body;
        } else {
            const qsizetype length = request.header("Content-Length").toLongLong();
            if (m_buffer.size() < end + length)
                return;
            request.body = m_buffer.mid(end, length);
            end += length;
        }
        m_buffer.remove(0, end);

        m_closeAfter = sameName(request.header("Connection"), "close") || version == "HTTP/1.0";
        m_busy = true;
        play(m_server->answer(request), request.method == "HEAD");
    }

    void play(const ScriptedResponse& r, bool headOnly)
    {
        m_response = r;
        m_next = 0;
        m_withBody = !headOnly && !statusHasNoBody(r.status);
        // A connection about to be dropped is not offered for reuse.
        m_closeAfter = m_closeAfter || r.drop;

        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonPhrase(r.status) + "\r\n";
        for (const auto& h : r.headers)
            head += h.first + ": " + h.second + "\r\n";
        if (m_withBody && !hasName(r.headers, "Content-Length") && !hasName(r.headers, "Transfer-Encoding")) {
            if (r.chunked) {
                head += "Transfer-Encoding: chunked\r\n";
            } else {
                qsizetype total = 0;
                for (const auto& p : r.pieces)
                    total += p.second.size();
                head += "Content-Length: " + QByteArray::number(total + (r.drop ? 1 : 0)) + "\r\n";
            }
        }
        if (m_closeAfter && !hasName(r.headers, "Connection"))
            head += "Connection: close\r\n";
        head += "\r\n";
        m_socket->write(head);
        m_socket->flush();
        scheduleNextPiece();
    }

    void scheduleNextPiece()
    {
        if (!m_withBody || m_next >= m_response.pieces.size()) {
            finishResponse();
            return;
        }
        const int delay = m_response.pieces.at(m_next).first;
        QTimer::singleShot(qMax(0, delay), this, [this] {
            const QByteArray& bytes = m_response.pieces.at(m_next).second;
            ++m_next;
            if (!bytes.isEmpty()) { // an empty chunk would end a chunked body
                // A drop cuts the last chunk short: a cut between chunks can look like a
                // clean end to some clients.
                const bool cut = m_response.drop && m_next == m_response.pieces.size();
                if (m_response.chunked && cut)
                    m_socket->write(QByteArray::number(bytes.size() + 1, 16) + "\r\n" + bytes);
                else if (m_response.chunked)
                    m_socket->write(QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n");
                else
                    m_socket->write(bytes);
                m_socket->flush();
            }
            scheduleNextPiece();
        });
    }

    void finishResponse()
    {
        if (m_response.drop && m_withBody) {
            // Let the client take in what was sent before the connection goes away: Qt
            // may report a close that arrives together with the last bytes as a clean end.
            m_socket->flush();
            QTimer::singleShot(kDropDelayMs, this, [this] {
                m_socket->abort();
                deleteLater();
            });
            return;
        }
        if (m_withBody && m_response.chunked)
            m_socket->write("0\r\n\r\n");
        m_socket->flush();
        m_busy = false;
        if (m_closeAfter) {
            m_socket->disconnectFromHost();
            return;
        }
        if (!m_buffer.isEmpty())
            parseNext();
    }

    QTcpSocket* m_socket;
    HttpTestServer::Private* m_server;
    QByteArray m_buffer;
    bool m_busy = false;
    bool m_closeAfter = false;
    bool m_withBody = true;
    ScriptedResponse m_response;
    qsizetype m_next = 0;
};

} // namespace

void HttpTestServer::Private::accept()
{
    while (QTcpSocket* socket = listener->nextPendingConnection()) {
        auto* connection = new Connection(socket, this); // deletes itself on disconnect
        connection->setParent(home);
    }
}

HttpTestServer::HttpTestServer()
    : HttpTestServer(QStringLiteral("127.0.0.1"))
{
}

HttpTestServer::HttpTestServer(const QString& loopbackAddress)
    : d(std::make_unique<Private>())
{
    d->address = QHostAddress(loopbackAddress);
    if (!d->address.isLoopback())
        qFatal("HttpTestServer: %s is not a loopback address", qPrintable(loopbackAddress));
    d->thread.setObjectName("HttpTestServer");
    d->home = new QObject;
    d->home->moveToThread(&d->thread);
    d->thread.start();
    QMetaObject::invokeMethod(
        d->home,
        [p = d.get()] {
            p->listener = new QTcpServer(p->home);
            QObject::connect(p->listener, &QTcpServer::newConnection, p->home, [p] { p->accept(); });
            if (p->listener->listen(p->address, 0))
                p->port = p->listener->serverPort();
        },
        Qt::BlockingQueuedConnection);
    if (d->port == 0)
        qFatal("HttpTestServer: cannot listen on %s", qPrintable(loopbackAddress));
}

HttpTestServer::~HttpTestServer()
{
    // Sockets and timers are deleted on their own thread, before it ends.
    QMetaObject::invokeMethod(
        d->home,
        [p = d.get()] {
            const QList<QObject*> children = p->home->children();
            qDeleteAll(children);
            p->listener = nullptr;
        },
        Qt::BlockingQueuedConnection);
    d->thread.quit();
    d->thread.wait();
    delete d->home;
}

QUrl HttpTestServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://%1:%2").arg(d->address.toString()).arg(d->port));
}

void HttpTestServer::enqueue(const ScriptedResponse& r)
{
    QMutexLocker lock(&d->mutex);
    d->queue.append(r);
}

void HttpTestServer::setHandler(std::function<ScriptedResponse(const RecordedRequest&)> h)
{
    QMutexLocker lock(&d->mutex);
    d->handler = std::move(h);
}

QList<RecordedRequest> HttpTestServer::requests() const
{
    QMutexLocker lock(&d->mutex);
    return d->requests;
}

int HttpTestServer::requestCount() const
{
    QMutexLocker lock(&d->mutex);
    return int(d->requests.size());
}

bool HttpTestServer::waitForRequests(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (requestCount() >= count)
            return true;
        if (deadline.hasExpired())
            return false;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QMutexLocker lock(&d->mutex);
        if (d->requests.size() < count)
            d->changed.wait(&d->mutex, QDeadlineTimer(qMin<qint64>(5, qMax<qint64>(0, deadline.remainingTime()))));
    }
}

QUrl HttpTestServer::refusedUrl()
{
    // Take a free port and give it back: nothing listens there afterwards.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return QUrl("http://127.0.0.1:1");
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}
