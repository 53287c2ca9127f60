#include "ui/settings/CredentialCheck.h"

#include "core/RequestErrors.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

CredentialCheck::CredentialCheck(QObject* parent)
    : QObject(parent)
{
}

void CredentialCheck::start(const CredentialCheckRequest& request, Answer answer)
{
    if (m_running++ == 0)
        Q_EMIT checkingChanged();
    QPointer<CredentialCheck> self(this);
    QThreadPool::globalInstance()->start([self, request, answer = std::move(answer)] {
        CredentialCheckResult result;
        try {
            result = checkCredentials(request.server, request.apiKey, request.orgKey, request.model);
        } catch (const TransportError&) {
            result = {CredentialCheckResult::Outcome::Unreachable, {}};
        } catch (const std::exception&) {
            result = {};
        }
        // The window may have closed meanwhile; that is asked on the UI thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, result, answer] {
                if (!self)
                    return;
                if (--self->m_running == 0)
                    Q_EMIT self->checkingChanged();
                answer(result);
            },
            Qt::QueuedConnection);
    });
}

void CredentialCheck::check(const QString& apiKey, const QString& orgKey, const QString& model,
                            const QString& serverAddress)
{
    // A key without the chosen model gets the same red mark as a rejected one.
    start({apiKey, orgKey, model, Endpoints::openAiServerAt(serverAddress)},
          [this, keyless = apiKey.isEmpty()](const CredentialCheckResult& result) {
              const bool accepted = result.outcome == CredentialCheckResult::Outcome::Accepted;
              if (accepted && keyless)
                  Q_EMIT acceptedWithoutKey();
              Q_EMIT finished(accepted);
          });
}
