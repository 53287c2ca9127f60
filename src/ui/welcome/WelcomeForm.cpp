#include "ui/welcome/WelcomeForm.h"

#include "core/Settings.h"
#include "openai/AccountModels.h"
#include "ui/common/ModelChoices.h"
#include "ui/settings/CredentialCheck.h"
#include "ui/settings/ServerAddressInput.h"

WelcomeForm::WelcomeForm(QObject* parent)
    : QObject(parent)
    , m_check(new CredentialCheck(this))
{
    m_modelEntries = ModelChoices::entries(ModelChoices::accountOffer(), m_modelField);
    connect(&AccountModels::instance(), &AccountModels::modelsChanged, this, &WelcomeForm::updateModelEntries);
    connect(&Settings::instance(), &Settings::valueChanged, this, [this](const QString& key) {
        if (key == Settings::apiKeyKey)
            Q_EMIT keyringStateChanged();
    });
}

bool WelcomeForm::keyringReadFailed() const
{
    const Settings& settings = Settings::instance();
    return settings.secretReadFailed(Settings::apiKeyKey) && settings.apiKey().isEmpty();
}

void WelcomeForm::setModelField(const QString& id)
{
    if (id == m_modelField)
        return;
    m_modelField = id;
    updateModelEntries();
}

QStringList WelcomeForm::modelNames() const { return ModelChoices::namesOf(m_modelEntries); }

int WelcomeForm::modelIndex() const { return ModelChoices::indexOf(m_modelEntries, m_modelField); }

void WelcomeForm::fillFromSettings()
{
    const Settings& settings = Settings::instance();
    m_apiKeyField = settings.apiKey();
    m_orgKeyField = settings.orgKey();
    m_serverAddressField = settings.text(Settings::openAiBaseUrlKey);
    Q_EMIT fieldsChanged();
    m_modelField = settings.model();
    updateModelEntries();
}

void WelcomeForm::chooseModel(int index)
{
    if (index >= 0 && index < m_modelEntries.size())
        setModelField(m_modelEntries[index].id);
}

void WelcomeForm::submit()
{
    setState(true, QString());
    if (!ServerAddressInput::isAcceptable(m_serverAddressField)) {
        // Nothing is sent: the key was meant for a server other than OpenAI's.
        setState(false, ServerAddressInput::unusableAddressText());
        Q_EMIT advancedNeeded();
        return;
    }
    const CredentialCheckRequest request{m_apiKeyField, m_orgKeyField, m_modelField,
                                         Endpoints::openAiServerAt(m_serverAddressField)};
    const QString address = m_serverAddressField;
    m_check->start(request,
                   [this, request, address](const CredentialCheckResult& result) { apply(request, address, result); });
}

void WelcomeForm::apply(const CredentialCheckRequest& request, const QString& address,
                        const CredentialCheckResult& result)
{
    switch (result.outcome) {
    case CredentialCheckResult::Outcome::Accepted: {
        // The check is over whether or not the cover leaves (a keyless
        // server's cover leaves with the address, OpenAI's with the key).
        setState(false, QString());
        Settings& settings = Settings::instance();
        settings.setText(Settings::orgKeyKey, request.orgKey);
        settings.setText(Settings::modelKey, request.model);
        ServerAddressInput::storeAddress(address);
        settings.setText(Settings::apiKeyKey, request.apiKey);
        return;
    }
    case CredentialCheckResult::Outcome::Rejected:
        setState(false, tr("The provided credentials could not be verified."));
        return;
    case CredentialCheckResult::Outcome::Unreachable:
        setState(false, tr("Vorbel could not reach %1.").arg(request.server.base.host()));
        return;
    case CredentialCheckResult::Outcome::ModelUnavailable: break;
    }
    m_checkedModels = offeredModels(result.models, request.server.isOpenAi);
    updateModelEntries();
    setState(
        false,
        tr("This key works, but %1 is not available to it. Choose another model under Advanced.").arg(request.model));
    Q_EMIT advancedNeeded();
}

void WelcomeForm::updateModelEntries()
{
    const QStringList before = modelNames();
    // After a check, the checked server's models; the stored server's before.
    m_modelEntries =
        ModelChoices::entries(m_checkedModels.isEmpty() ? ModelChoices::accountOffer() : m_checkedModels, m_modelField);
    // The list first: a picker given a new list resets its index.
    if (modelNames() != before)
        Q_EMIT modelNamesChanged();
    Q_EMIT modelIndexChanged();
}

void WelcomeForm::setState(bool validating, const QString& message)
{
    if (validating == m_validating && message == m_message)
        return;
    m_validating = validating;
    m_message = message;
    Q_EMIT stateChanged();
}
