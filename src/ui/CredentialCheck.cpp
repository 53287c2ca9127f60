#include "ui/CredentialCheck.h"

#include "openai/OpenAiRequests.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

CredentialCheck::CredentialCheck(QObject* parent)
    : QObject(parent)
{
}

void CredentialCheck::check(const QString& apiKey, const QString& orgKey, const QString& model)
{
    if (m_running++ == 0)
        Q_EMIT checkingChanged();
    QPointer<CredentialCheck> self(this);
    QThreadPool::globalInstance()->start([self, apiKey, orgKey, model] {
        bool valid = false;
        try {
            valid = validateCredentials(apiKey, orgKey, model);
        } catch (const std::exception&) {
            valid = false; // no answer: the same outcome as a rejected key
        }
        // The window may have closed meanwhile; that is asked on the UI thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, valid, apiKey, orgKey, model] {
                if (!self)
                    return;
                if (--self->m_running == 0)
                    Q_EMIT self->checkingChanged();
                Q_EMIT self->finished(valid, apiKey, orgKey, model);
            },
            Qt::QueuedConnection);
    });
}
