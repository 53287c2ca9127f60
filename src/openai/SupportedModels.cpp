#include "openai/ModelCatalog.h"

#include <QHash>

#include <algorithm>

namespace {

// The budget of a model nothing is known of.
constexpr int defaultContextLength = 4096;

struct FamilyLength {
    const char* prefix;
    int contextLength;
};

// Current OpenAI families, from the vendor's model pages (late 2026).
constexpr FamilyLength familyLengths[] = {
    {"gpt-4o", 128000}, {"gpt-4o-mini", 128000}, {"gpt-4-turbo", 128000}, {"gpt-4.1", 1047576}, {"o1", 200000},
    {"o3", 200000},     {"o4-mini", 200000},     {"gpt-5", 400000},       {"gpt-5.4", 1050000}, {"gpt-5.5", 1000000},
};

// "gpt-5" covers "gpt-5-mini" and "gpt-5.1", but "o1" does not cover "o10".
bool isFamilyPrefix(const QString& id, const QLatin1String& prefix)
{
    return id.startsWith(prefix) && (id.size() == prefix.size() || !id.at(prefix.size()).isLetterOrNumber());
}

std::optional<int> familyContextLength(const QString& id)
{
    qsizetype longest = 0;
    std::optional<int> length;
    for (const FamilyLength& family : familyLengths) {
        const QLatin1String prefix(family.prefix);
        if (prefix.size() > longest && isFamilyPrefix(id, prefix)) {
            longest = prefix.size();
            length = family.contextLength;
        }
    }
    return length;
}

} // namespace

const QList<SupportedModel>& supportedModels()
{
    static const QList<SupportedModel> models{
        {QStringLiteral("gpt-3.5-turbo"), QStringLiteral("GPT 3.5 Turbo"), 4096},
        {QStringLiteral("gpt-3.5-turbo-16k"), QStringLiteral("GPT 3.5 Turbo 16k"), 16384},
        {QStringLiteral("gpt-4"), QStringLiteral("GPT 4"), 16384},
        {QStringLiteral("gpt-4-32k"), QStringLiteral("GPT 4 32k"), 16384},
    };
    return models;
}

bool isSupportedModel(const QString& modelId)
{
    const QList<SupportedModel>& models = supportedModels();
    return std::any_of(models.begin(), models.end(), [&](const SupportedModel& m) { return m.id == modelId; });
}

int contextLengthForModel(const QString& modelId, const QList<ServerModel>& serverModels)
{
    for (const SupportedModel& model : supportedModels()) {
        if (model.id == modelId)
            return model.contextLength;
    }
    for (const ServerModel& model : serverModels) {
        if (model.id == modelId && model.contextLength)
            return *model.contextLength;
    }
    return familyContextLength(modelId).value_or(defaultContextLength);
}

QList<ModelOption> offeredModels(const QList<ServerModel>& serverModels, bool openAiServer)
{
    QList<ModelOption> options;
    for (const SupportedModel& model : supportedModels())
        options.append({model.id, model.name, model.contextLength, true});

    QList<ServerModel> listed;
    QHash<QString, bool> seen;
    for (const ServerModel& model : serverModels) {
        if (model.id.isEmpty() || isSupportedModel(model.id) || seen.contains(model.id)
            || (openAiServer && !isChatModelId(model.id)))
            continue;
        seen.insert(model.id, true);
        listed.append(model);
    }
    std::sort(listed.begin(), listed.end(), [](const ServerModel& a, const ServerModel& b) {
        const int order = QString::compare(a.id, b.id, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.id < b.id;
    });
    for (const ServerModel& model : listed)
        options.append({model.id, model.id, contextLengthForModel(model.id, serverModels), false});
    return options;
}

bool usesToolCalls(const QString& modelId, bool openAiServer) { return !openAiServer || !isSupportedModel(modelId); }
