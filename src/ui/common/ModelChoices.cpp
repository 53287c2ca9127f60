#include "ui/common/ModelChoices.h"

#include "core/Settings.h"
#include "openai/AccountModels.h"

#include <algorithm>

namespace {

bool hasId(const QList<ModelOption>& options, const QString& id)
{
    return std::any_of(options.begin(), options.end(), [&](const ModelOption& o) { return o.id == id; });
}

} // namespace

ModelChoices::ModelChoices(QObject* parent)
    : QObject(parent)
{
    m_entries = entries(accountOffer(), selectedModel());
    connect(&Settings::instance(), &Settings::valueChanged, this, [this](const QString& key) {
        if (key == Settings::modelKey)
            update();
    });
    connect(&AccountModels::instance(), &AccountModels::modelsChanged, this, &ModelChoices::update);
}

QList<ModelOption> ModelChoices::accountOffer()
{
    const AccountModels& account = AccountModels::instance();
    return offeredModels(account.models(), account.fromOpenAiServer());
}

QList<ModelOption> ModelChoices::entries(QList<ModelOption> offered, const QString& chosenId)
{
    if (!chosenId.isEmpty() && !hasId(offered, chosenId))
        offered.append({chosenId, tr("%1 (unavailable)").arg(chosenId), contextLengthForModel(chosenId), false});
    return offered;
}

QStringList ModelChoices::namesOf(const QList<ModelOption>& entries)
{
    QStringList names;
    for (const ModelOption& entry : entries)
        names << entry.name;
    return names;
}

int ModelChoices::indexOf(const QList<ModelOption>& entries, const QString& id)
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].id == id)
            return i;
    }
    return -1;
}

QString ModelChoices::selectedModel() const { return Settings::instance().model(); }

void ModelChoices::setSelectedModel(const QString& id)
{
    if (id != selectedModel())
        Settings::instance().setText(Settings::modelKey, id);
}

QString ModelChoices::idAt(int index) const { return m_entries.value(index).id; }

void ModelChoices::update()
{
    const QList<ModelOption> updated = entries(accountOffer(), selectedModel());
    const QStringList before = names();
    m_entries = updated;
    // The list first: a picker given a new list resets its index, which the
    // second signal then sets again.
    if (names() != before)
        Q_EMIT namesChanged();
    Q_EMIT selectedModelChanged();
}
