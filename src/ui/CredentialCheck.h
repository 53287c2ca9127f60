#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Checks an API key, organisation key and model against the service off the
// UI thread. Every call is a check of its own: each reports its own answer
// through `finished`, in the order the answers come. A network failure counts
// as a rejection.
class CredentialCheck : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool checking READ checking NOTIFY checkingChanged)
public:
    explicit CredentialCheck(QObject* parent = nullptr);

    bool checking() const { return m_running > 0; }
    Q_INVOKABLE void check(const QString& apiKey, const QString& orgKey, const QString& model);

Q_SIGNALS:
    void checkingChanged();
    void finished(bool valid, const QString& apiKey, const QString& orgKey, const QString& model);

private:
    int m_running = 0;
};
