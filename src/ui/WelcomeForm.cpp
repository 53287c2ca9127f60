#include "ui/WelcomeForm.h"

#include "core/Settings.h"
#include "ui/CredentialCheck.h"

WelcomeForm::WelcomeForm(QObject* parent)
    : QObject(parent)
    , m_check(new CredentialCheck(this))
{
    connect(m_check, &CredentialCheck::finished, this,
            [this](bool valid, const QString& apiKey, const QString& orgKey, const QString& model) {
                if (!valid) {
                    setState(false, true);
                    return;
                }
                // The key last: storing it removes the screen.
                Settings& settings = Settings::instance();
                settings.setText(Settings::orgKeyKey, orgKey);
                settings.setText(Settings::modelKey, model);
                settings.setText(Settings::apiKeyKey, apiKey);
            });
}

void WelcomeForm::fillFromSettings()
{
    const Settings& settings = Settings::instance();
    m_apiKeyField = settings.apiKey();
    m_orgKeyField = settings.orgKey();
    m_modelField = settings.model();
    Q_EMIT fieldsChanged();
}

void WelcomeForm::submit()
{
    setState(true, false);
    m_check->check(m_apiKeyField, m_orgKeyField, m_modelField);
}

void WelcomeForm::setState(bool validating, bool invalid)
{
    if (validating == m_validating && invalid == m_invalid)
        return;
    m_validating = validating;
    m_invalid = invalid;
    Q_EMIT stateChanged();
}
