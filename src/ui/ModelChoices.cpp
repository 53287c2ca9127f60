#include "ui/ModelChoices.h"

#include "core/Settings.h"
#include "openai/OpenAiRequests.h"

ModelChoices::ModelChoices(QObject* parent)
    : QObject(parent)
{
    connect(&Settings::instance(), &Settings::valueChanged, this, [this](const QString& key) {
        if (key == Settings::modelKey)
            Q_EMIT selectedModelChanged();
    });
}

QStringList ModelChoices::names() const
{
    QStringList names;
    for (const SupportedModel& model : supportedModels())
        names << model.name;
    return names;
}

QString ModelChoices::selectedModel() const { return Settings::instance().model(); }

void ModelChoices::setSelectedModel(const QString& id)
{
    if (id != selectedModel())
        Settings::instance().setText(Settings::modelKey, id);
}

int ModelChoices::indexOfId(const QString& id) const
{
    const QList<SupportedModel>& models = supportedModels();
    for (int i = 0; i < models.size(); ++i) {
        if (models[i].id == id)
            return i;
    }
    return -1;
}

QString ModelChoices::idAt(int index) const
{
    const QList<SupportedModel>& models = supportedModels();
    return index >= 0 && index < models.size() ? models[index].id : QString();
}
