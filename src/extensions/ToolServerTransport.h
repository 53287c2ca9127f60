#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>

// How JSON-RPC messages reach one tool server and come back. Lives on the
// thread of its client; every call returns at once and the answers arrive
// through the signals.
class ToolServerTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts the server or the session; `ended` reports a failure.
    virtual void open() = 0;
    virtual void send(const QJsonObject& message) = 0;
    // Ends the server (its whole process group) or the session; no signal follows.
    virtual void close() = 0;
    // The version agreed on in the handshake, for transports that state it.
    virtual void setProtocolVersion(const QString& version) { Q_UNUSED(version); }

Q_SIGNALS:
    void received(const QJsonObject& message);
    // The server or the session is gone.
    void ended(const QString& reason);
    // The request with this id got no answer and never will.
    void requestFailed(const QJsonValue& id, const QString& reason);
    // A line of the server's own log (a process's standard error).
    void logLine(const QString& line);
};

// The longest message accepted from a server; a longer one ends the session.
inline constexpr qsizetype maxToolServerMessageBytes = 16 * 1024 * 1024;
