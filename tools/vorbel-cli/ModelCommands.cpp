#include "vorbel-cli/ModelCommands.h"

#include "core/Endpoints.h"
#include "core/RequestErrors.h"
#include "core/Settings.h"
#include "openai/AccountModels.h"
#include "openai/OpenAiRequests.h"
#include "vorbel-cli/TextFormats.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcCliModels, "vorbel.cli.models")

// The command waits for nothing else, so it may wait a little longer than the
// app's background read.
constexpr int listTimeoutMs = 30000;

struct ListResult {
    std::optional<ModelListAnswer> answer; // none: no answer came
    QString transportError;
};

// The request blocks, which is allowed only off the main thread; the main
// thread waits in an event loop meanwhile.
ListResult fetchOffThread(const Endpoints::OpenAiServer& server, const QString& apiKey, const QString& orgKey)
{
    ListResult result;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            result.answer = fetchModelList(server, apiKey, orgKey, listTimeoutMs);
        } catch (const std::exception& error) {
            result.transportError = QString::fromUtf8(error.what());
        }
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    return result;
}

void printModels(CliEnvironment& environment, const QList<ServerModel>& serverModels, bool openAiServer)
{
    for (const ModelOption& option : offeredModels(serverModels, openAiServer)) {
        environment.io.out << TextFormats::tsvLine({option.id, option.name, QString::number(option.contextLength),
                                                    option.builtIn ? QStringLiteral("built-in")
                                                                   : QStringLiteral("server")})
                           << '\n';
    }
    environment.io.out.flush();
}

// Why the server's list is missing, without any key in it; empty when it was read.
QString failureReason(const Endpoints::OpenAiServer& server, const QString& apiKey, const QString& orgKey,
                      const ListResult& result)
{
    const QString address = server.base.toString(QUrl::RemoveUserInfo);
    if (!isSendableCredential(apiKey) || !isSendableCredential(orgKey))
        return QStringLiteral("the stored API key or organisation key holds a control character and was not sent");
    if (!result.answer)
        return QStringLiteral("the server at %1 could not be reached (%2)").arg(address, result.transportError);
    switch (result.answer->outcome) {
    case ModelListAnswer::Outcome::Listed:
        return QString();
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

    ListResult result;
    // An unsendable key is never sent; the reason names it without its text.
    if (isSendableCredential(apiKey) && isSendableCredential(orgKey))
        result = fetchOffThread(server, apiKey, orgKey);
    const bool listed = result.answer && result.answer->outcome == ModelListAnswer::Outcome::Listed;
    printModels(environment, listed ? result.answer->models : QList<ServerModel>(), server.isOpenAi);
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
        qCInfo(lcCliModels) << "No model list within" << timeoutMs << "ms; the built-in context lengths apply";
    return finished;
}

} // namespace ModelCommands
