#include "openai/AccountModels.h"

#include "core/Endpoints.h"
#include "core/PoolTask.h"
#include "core/Settings.h"
#include "openai/OpenAiLog.h"
#include "openai/OpenAiRequests.h"

#include <QCoreApplication>

namespace {
// A start must never wait long on a server that does not answer.
constexpr int backgroundTimeoutMs = 15000;
constexpr int settleDelayMs = 700;
} // namespace

AccountModels& AccountModels::instance()
{
    static AccountModels* models = [] {
        auto* created = new AccountModels;
        if (QCoreApplication* app = QCoreApplication::instance())
            created->moveToThread(app->thread());
        return created;
    }();
    return *models;
}

AccountModels::AccountModels()
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(settleDelayMs);
    connect(&m_settleTimer, &QTimer::timeout, this, &AccountModels::refresh);
}

void AccountModels::followSettings()
{
    if (!m_following) {
        m_following = true;
        connect(&Settings::instance(), &Settings::valueChanged, this, [this](const QString& key) {
            if (key == Settings::apiKeyKey || key == Settings::orgKeyKey || key == Settings::openAiBaseUrlKey)
                m_settleTimer.start();
        });
    }
    refresh();
}

bool AccountModels::isListed(const QString& modelId) const
{
    return std::any_of(m_models.begin(), m_models.end(), [&](const ServerModel& m) { return m.id == modelId; });
}

void AccountModels::refresh()
{
    m_settleTimer.stop();
    const quint64 generation = ++m_generation;
    const Endpoints::OpenAiServer server = Endpoints::openAiServer();
    const Settings& settings = Settings::instance();
    const QString apiKey = settings.apiKey();
    const QString orgKey = settings.orgKey();
    // OpenAI's server lists nothing without a key; another may need none.
    if (apiKey.isEmpty() && server.isOpenAi) {
        apply(generation, true, {}, server);
        return;
    }
    runInPool(
        this, [server, apiKey, orgKey] { return fetchModelList(server, apiKey, orgKey, backgroundTimeoutMs); },
        [this, generation, server](const Result<ModelListAnswer>& answer) {
            if (!answer)
                qCInfo(lcOpenAi) << "The model list could not be read:" << answer.errorText();
            const bool answered = answer && answer->outcome == ModelListAnswer::Outcome::Listed;
            apply(generation, answered, answered ? answer->models : QList<ServerModel>(), server);
        });
}

void AccountModels::apply(quint64 generation, bool answered, const QList<ServerModel>& models,
                          const Endpoints::OpenAiServer& server)
{
    if (generation != m_generation)
        return;
    // A server that is briefly out of reach keeps the list it gave before;
    // another server's list is never shown for this one.
    const bool sameServer = server.base == m_listBase;
    if (!answered && sameServer) {
        Q_EMIT refreshFinished();
        return;
    }
    const QList<ServerModel> list = answered ? models : QList<ServerModel>();
    m_listBase = server.base;
    if (list != m_models || server.isOpenAi != m_fromOpenAiServer) {
        m_models = list;
        m_fromOpenAiServer = server.isOpenAi;
        Q_EMIT modelsChanged();
    }
    Q_EMIT refreshFinished();
}
