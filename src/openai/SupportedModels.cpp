#include "openai/OpenAiRequests.h"

namespace {

// The budget of a model the table does not know.
constexpr int defaultContextLength = 4096;

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

int contextLengthForModel(const QString& modelId)
{
    for (const SupportedModel& model : supportedModels()) {
        if (model.id == modelId)
            return model.contextLength;
    }
    return defaultContextLength;
}
