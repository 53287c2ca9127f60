#pragma once

#include "openai/ModelCatalog.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class CredentialCheck;
struct CredentialCheckRequest;
struct CredentialCheckResult;

// The first-run form: its own copy of the settings, checked against the
// server before anything is stored. Storing a key is what removes the cover.
// Its model picker offers what the account lists or, once a check has read
// the typed key's list, that list instead.
class WelcomeForm : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString apiKeyField MEMBER m_apiKeyField NOTIFY fieldsChanged)
    Q_PROPERTY(QString orgKeyField MEMBER m_orgKeyField NOTIFY fieldsChanged)
    Q_PROPERTY(QString serverAddressField MEMBER m_serverAddressField NOTIFY fieldsChanged)
    Q_PROPERTY(QString modelField READ modelField WRITE setModelField NOTIFY modelIndexChanged)
    Q_PROPERTY(QStringList modelNames READ modelNames NOTIFY modelNamesChanged)
    Q_PROPERTY(int modelIndex READ modelIndex NOTIFY modelIndexChanged)
    Q_PROPERTY(bool invalid READ invalid NOTIFY stateChanged)
    Q_PROPERTY(bool validating READ validating NOTIFY stateChanged)
    Q_PROPERTY(QString message READ message NOTIFY stateChanged)
    // The keyring holds a key that it would not hand over (locked, and not unlocked).
    Q_PROPERTY(bool keyringReadFailed READ keyringReadFailed NOTIFY keyringStateChanged)
public:
    explicit WelcomeForm(QObject* parent = nullptr);

    QString modelField() const { return m_modelField; }
    void setModelField(const QString& id);
    QStringList modelNames() const;
    int modelIndex() const;
    bool invalid() const { return !m_message.isEmpty(); }
    bool validating() const { return m_validating; }
    // Why the last check failed; empty while none has.
    QString message() const { return m_message; }
    bool keyringReadFailed() const;

    // When the screen is shown: the fields take the stored values.
    Q_INVOKABLE void fillFromSettings();
    Q_INVOKABLE void chooseModel(int index);
    // "Continue": one check per press, each applying its own answer.
    Q_INVOKABLE void submit();

Q_SIGNALS:
    void fieldsChanged();
    void modelNamesChanged();
    void modelIndexChanged();
    void stateChanged();
    void keyringStateChanged();
    // The answer concerns a field under "Advanced".
    void advancedNeeded();

private:
    void apply(const CredentialCheckRequest& request, const QString& address, const CredentialCheckResult& result);
    void updateModelEntries();
    void setState(bool validating, const QString& message);

    QString m_apiKeyField;
    QString m_orgKeyField;
    QString m_modelField;
    QString m_serverAddressField;
    QList<ModelOption> m_checkedModels; // what the last check that read a list offered
    QList<ModelOption> m_modelEntries;
    QString m_message;
    bool m_validating = false;
    CredentialCheck* m_check;
};
