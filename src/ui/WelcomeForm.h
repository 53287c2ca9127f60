#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class CredentialCheck;

// The first-run form: its own copy of the three settings, checked against the
// service before anything is stored. Storing a key is what removes the cover.
class WelcomeForm : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString apiKeyField MEMBER m_apiKeyField NOTIFY fieldsChanged)
    Q_PROPERTY(QString orgKeyField MEMBER m_orgKeyField NOTIFY fieldsChanged)
    Q_PROPERTY(QString modelField MEMBER m_modelField NOTIFY fieldsChanged)
    Q_PROPERTY(bool invalid READ invalid NOTIFY stateChanged)
    Q_PROPERTY(bool validating READ validating NOTIFY stateChanged)
public:
    explicit WelcomeForm(QObject* parent = nullptr);

    bool invalid() const { return m_invalid; }
    bool validating() const { return m_validating; }

    // When the screen is shown: the fields take the stored values.
    Q_INVOKABLE void fillFromSettings();
    // "Continue": one check per press, each applying its own answer.
    Q_INVOKABLE void submit();

Q_SIGNALS:
    void fieldsChanged();
    void stateChanged();

private:
    void setState(bool validating, bool invalid);

    QString m_apiKeyField;
    QString m_orgKeyField;
    QString m_modelField;
    bool m_invalid = false;
    bool m_validating = false;
    CredentialCheck* m_check;
};
