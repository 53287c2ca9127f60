#include "vorbel-cli/ModelCommands.h"

#include "core/Endpoints.h"
#include "core/PoolTask.h"
#include "core/Settings.h"
#include "openai/AccountModels.h"
#include "openai/OpenAiRequests.h"
#include "vorbel-cli/CliLog.h"
#include "vorbel-cli/TextFormats.h"

#include <QEventLoop>
#include <QTimer>

#include <optional>

namespace {

// The command waits for nothing else, so it may wait a little longer than the
// app's background read.
constexpr int listTimeoutMs = 30000;

// The request blocks, which is allowed only off the main thread; the main
// thread waits in an event loop meanwhile.
Result<ModelListAnswer> fetchOffThread(const Endpoints::OpenAiServer& server, const QString& apiKey,
                                       const QString& orgKey)
{
    std::optional<Result<ModelListAnswer>> result;
    QEventLoop loop;
    runInPool(
        &loop, [server, apiKey, orgKey] { return fetchModelList(server, apiKey, orgKey, listTimeoutMs); },
        [&](const Result<ModelListAnswer>& answer) {
            result = answer;
            loop.quit();
        });
    loop.exec();
    return std::move(*result);
}

void printModels(CliEnvironment& environment, const QList<ServerModel>& serverModels, bool openAiServer)
{
    for (const ModelOption& option : offeredModels(serverModels, openAiServer)) {
        environment.io.out << TextFormats::tsvLine(
            {option.id, option.name, QString::number(option.contextLength),
             option.builtIn ? QStringLiteral("built-in") : QStringLiteral("server")})
                           << '\n';
    }
    environment.io.out.flush();
}

// Why the server's list is missing, without any key in it; empty when it was read.
QString failureReason(const Endpoints::OpenAiServer& server, const QString& apiKey, const QString& orgKey,
                      const Result<ModelListAnswer>& result)
{
    const QString address = server.base.toString(QUrl::RemoveUserInfo);
    if (!isSendableCredential(apiKey) || !isSendableCredential(orgKey))
        return QStringLiteral("the stored API key or organisation key holds a control character and was not sent");
    if (!result)
        return QStringLiteral("the server at %1 could not be reached (%2)").arg(address, result.errorText());
    switch (result->outcome) {
    case ModelListAnswer::Outcome::Listed: return QString();
    case ModelListAnswer::Outcome::Refused:
        return QStringLiteral("the server at %1 refused the model list; check the API key and organisation key")
            .arg(address);
    case ModelListAnswer::Outcome::Unreadable:
        return QStringLiteral("the server at %1 answered with something that is not a model list").arg(address);
    }
    return QString();
}

} // namespace

namespace ModelCommands {

int list(CliEnvironment& environment)
{
    const Endpoints::OpenAiServer server = Endpoints::openAiServer();
    const Settings& settings = Settings::instance();
    const QString apiKey = settings.apiKey();
    const QString orgKey = settings.orgKey();
    if (apiKey.isEmpty() && server.isOpenAi) {
        printModels(environment, {}, server.isOpenAi);
        return reportError(environment.io, ExitUsage,
                           QStringLiteral("no API key is stored, so only the built-in models are listed; set one "
                                          "with: vorbel-cli settings set apiKey KEY"));
    }

    // An unsendable key is never sent (the list is then Refused); the reason
    // names it without its text.
    const Result<ModelListAnswer> result = fetchOffThread(server, apiKey, orgKey);
    const bool listed = result && result->outcome == ModelListAnswer::Outcome::Listed;
    printModels(environment, listed ? result->models : QList<ServerModel>(), server.isOpenAi);
    if (listed)
        return ExitSuccess;
    return reportError(environment.io, ExitFailure,
                       failureReason(server, apiKey, orgKey, result)
                           + QStringLiteral("; only the built-in models are listed"));
}

bool refreshAccountModels(int timeoutMs)
{
    AccountModels& models = AccountModels::instance();
    QEventLoop loop;
    bool finished = false;
    // Answers to earlier reads are dropped without a signal, so the next
    // refreshFinished belongs to this read.
    QObject::connect(&models, &AccountModels::refreshFinished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    models.refresh(); // without a key it finishes at once
    if (!finished)
        loop.exec();
    if (!finished)
        qCInfo(lcCli) << "No model list within" << timeoutMs << "ms; the built-in context lengths apply";
    return finished;
}

} // namespace ModelCommands
