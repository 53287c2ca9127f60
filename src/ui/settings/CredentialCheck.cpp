#include "ui/settings/CredentialCheck.h"

#include "core/PoolTask.h"

CredentialCheck::CredentialCheck(QObject* parent)
    : QObject(parent)
{
}

void CredentialCheck::start(const CredentialCheckRequest& request, Answer answer)
{
    if (m_running++ == 0)
        Q_EMIT checkingChanged();
    runInPool(
        this, [request] { return checkCredentials(request.server, request.apiKey, request.orgKey, request.model); },
        [this, answer = std::move(answer)](const CredentialCheckResult& result) {
            if (--m_running == 0)
                Q_EMIT checkingChanged();
            answer(result);
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
