#pragma once

#include "core/Endpoints.h"
#include "openai/OpenAiRequests.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>

// What one credential check sends, and to which server.
struct CredentialCheckRequest {
    QString apiKey;
    QString orgKey;
    QString model;
    Endpoints::OpenAiServer server;
};

// Checks an API key, organisation key and model against a server off the UI
// thread. Every call is a check of its own: each gets its own answer, in the
// order the answers come.
class CredentialCheck : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool checking READ checking NOTIFY checkingChanged)
public:
    using Answer = std::function<void(const CredentialCheckResult&)>;

    explicit CredentialCheck(QObject* parent = nullptr);

    bool checking() const { return m_running > 0; }
    // The answer comes on the UI thread, and never after this object is gone.
    void start(const CredentialCheckRequest& request, Answer answer);
    // For the settings tab: the server at `serverAddress` (the stored one),
    // answered through `finished`.
    Q_INVOKABLE void check(const QString& apiKey, const QString& orgKey, const QString& model,
                           const QString& serverAddress);

Q_SIGNALS:
    void checkingChanged();
    void finished(bool valid);
    // The same check accepted without any key: the server needs none.
    void acceptedWithoutKey();

private:
    int m_running = 0;
};
