#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One running Vorbel per user and store. The first process listens on a local
// socket in the user's runtime folder (0700, and only peers of the same user
// are heard); a later one hands its request over and exits. A socket whose
// owner does not answer in time (hung, or left by a crash) is taken over.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Request { Raise, NewWindow };
    Q_ENUM(Request)

    static constexpr int answerMs = 2000;

    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/vorbel-<digest of the data folder>: programs that share
    // a store share an instance; tests with folders of their own do not.
    static QString defaultSocketPath();

    // True when a running instance confirmed `request` within waitMs: this
    // process is done. Otherwise this one is the instance from now on.
    bool forwardOrListen(Request request, int waitMs = answerMs);
    bool isListening() const { return m_server.isListening(); }

Q_SIGNALS:
    void requested(SingleInstance::Request request);

private:
    bool forward(Request request, int waitMs);
    void listen();
    void serve(class QLocalSocket* socket);

    QString m_path;
    QLocalServer m_server;
};
