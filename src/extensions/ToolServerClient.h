#pragma once

#include "extensions/ToolServerConfig.h"
#include "extensions/ToolServerTools.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class ToolServerTransport;

// One tool server's session: the handshake, its tools (listed again when it
// says they changed), its calls and its log. Lives on the UI thread; nothing
// here blocks. A server that ended is started again on its next use, at most
// three times a minute.
class ToolServerClient : public QObject {
    Q_OBJECT
public:
    enum class State { Stopped, Starting, Connected, Failed };
    using Done = std::function<void(const QString& text)>;

    static constexpr int initializeTimeoutMs = 20000;
    static constexpr int maxRestartsPerMinute = 3;
    static constexpr int keptLogLines = 200;

    explicit ToolServerClient(ToolServerEntry entry, QObject* parent = nullptr);
    ~ToolServerClient() override;

    const ToolServerEntry& entry() const { return m_entry; }
    State state() const { return m_state; }
    QString failure() const { return m_failure; }
    const QList<ServerTool>& tools() const { return m_tools; }
    const QStringList& log() const { return m_log; }
    // "Connected · N tools", "Starting…", "Failed: <reason>", "Stopped" or "Disabled".
    QString statusText() const;

    // Takes the flags of a newer reading of the file; a disabled server stops.
    void setFlags(bool enabled, bool askBeforeCall);

    // Starts a server that is not running, unless it ended too often lately.
    void start();
    // Starts it again now, forgetting how often it ended.
    void reconnect();
    void stop();

    // Calls `tool` once the server is ready (starting it when needed); `done`
    // gets the result text, exactly once, unless the call is cancelled first.
    // Returns the call's id.
    qint64 call(const QString& tool, const QJsonObject& arguments, const Done& done);
    // Forgets the call and tells the server when it was sent; a late answer is ignored.
    void cancel(qint64 callId, const QString& reason);

Q_SIGNALS:
    // State, tools or log changed.
    void changed();

private:
    using Answer = std::function<void(const QJsonObject& response)>;
    struct QueuedCall {
        qint64 id;
        QString tool;
        QJsonObject arguments;
    };

    void begin(ToolServerTransport* transport);
    void request(const QString& method, const QJsonObject& params, const Answer& answer, qint64 id = 0);
    void notify(const QString& method, const QJsonObject& params = {});
    void initialized(const QJsonObject& response);
    void listTools(const QString& cursor, QList<ServerTool> collected, int page);
    void receive(const QJsonObject& message);
    void sendCall(const QueuedCall& call);
    void fail(const QString& reason);
    void endSession();
    void finishCalls(const QString& text);
    void addLogLine(const QString& line);

    ToolServerEntry m_entry;
    State m_state = State::Stopped;
    QString m_failure;
    QList<ServerTool> m_tools;
    QStringList m_log;
    QPointer<ToolServerTransport> m_transport;
    int m_session = 0; // a callback of an older session finds another number
    qint64 m_nextId = 1;
    QHash<qint64, Answer> m_pending;
    QHash<qint64, Done> m_calls;
    QList<QueuedCall> m_queued;
    QList<qint64> m_restartTimes;
    bool m_startedBefore = false;
    bool m_listing = false;
    QTimer m_initializeTimer;
    QTimer m_announceTimer;
};
