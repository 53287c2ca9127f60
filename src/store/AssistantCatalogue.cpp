#include "store/AssistantCatalogue.h"

#include "core/Endpoints.h"
#include "core/PoolTask.h"
#include "core/StdoutLine.h"
#include "store/StoreLog.h"
#include "store/StoreOperations.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUuid>

#include <memory>
#include <mutex>

// The resource lives in a static library, so nothing would pull in its
// registration unless it is named here (outside any namespace, as rcc wants).
static void registerCatalogueResources()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(catalogue); });
}

namespace {

constexpr int requestTimeoutMs = 60'000;

// Decodes on the pool and merges on the UI thread. The application object
// outlives every context, so it receives the result: `done` runs even when the
// context is gone, which is checked there, on its own thread.
void decodeInBackground(const QPointer<StoreContext>& context, QByteArray body, std::function<void()> done)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return; // shutting down: there is no UI thread left to merge on
    auto decode = [body = std::move(body)] { return decodeAssistantApiResponse(body); };
    auto finish = [context, done = std::move(done)](const std::optional<AssistantApiResponse>& decoded) {
        if (context) {
            if (decoded)
                mergeAssistantCatalogue(*context, *decoded);
            else
                printStdoutLine(catalogueUnusableLine);
        } else {
            qCDebug(lcStore) << "catalogue refresh dropped: the store context is gone";
        }
        if (done)
            done();
    };
    runInPool(app, std::move(decode), std::move(finish));
}

void finishUnreachable(const std::function<void()>& done)
{
    printStdoutLine(catalogueUnreachableLine);
    if (done)
        done();
}

void refreshFromBuiltIn(StoreContext& context, std::function<void()> done)
{
    // The bundled file is compiled in, so reading it here does not block.
    const std::optional<QByteArray> body = readBuiltInCatalogue();
    if (!body) {
        // Same outcome as a service that sends nothing back, and as late.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [done = std::move(done)] { finishUnreachable(done); }, Qt::QueuedConnection);
        return;
    }
    decodeInBackground(&context, *body, std::move(done));
}

void refreshFromService(StoreContext& context, QNetworkAccessManager& network, const QUrl& base,
                        std::function<void()> done)
{
    QNetworkRequest request(catalogueRequestUrl(base));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(requestTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, Endpoints::userAgent());

    QPointer<StoreContext> guard(&context);
    QNetworkReply* reply = network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, guard, done = std::move(done)]() mutable {
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        // A transport error (refused, reset, timed out, cut short) leaves no usable
        // body; anything but a complete 200 counts as no catalogue at all.
        if (reply->error() != QNetworkReply::NoError || !status.isValid() || status.toInt() != 200) {
            qCDebug(lcStore) << "catalogue request failed:" << status << reply->errorString();
            finishUnreachable(done);
            return;
        }
        decodeInBackground(guard, reply->readAll(), std::move(done));
    });
}

} // namespace

QString builtInCataloguePath() { return QStringLiteral(":/catalogue/assistants.json"); }

std::optional<QByteArray> readBuiltInCatalogue()
{
    registerCatalogueResources();
    QFile file(builtInCataloguePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QUrl catalogueRequestUrl(const QUrl& base)
{
    QUrl url = base;
    QString prefix = url.path();
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    url.setPath(prefix + QStringLiteral("/api/v1/assistants"));
    return url;
}

AssistantPtr findAssistantByName(const std::vector<AssistantPtr>& assistants, const QString& name)
{
    for (const AssistantPtr& assistant : assistants) {
        if (assistant && assistant->name() && *assistant->name() == name)
            return assistant;
    }
    return nullptr;
}

void mergeAssistantSeed(const AssistantSeed& seed, const std::vector<AssistantPtr>& assistants, StoreContext& context)
{
    AssistantPtr existing = findAssistantByName(assistants, seed.name);
    if (seed.isForceDelete()) {
        if (existing)
            existing->setDeletedAt(QDateTime::currentDateTimeUtc());
        return;
    }
    if (!existing)
        existing = context.insertAssistant();
    existing->setName(seed.name);
    existing->setPersonality(seed.personality);
    existing->setProfilePictureUrl(urlFromText(seed.profilePictureUrl));
    existing->setIntro(seed.intro);
    existing->setVersion(seed.version);
    if (!existing->id())
        existing->setId(QUuid::createUuid());
}

bool mergeAssistantCatalogue(StoreContext& context, const AssistantApiResponse& response)
{
    // Taken once: an assistant inserted for one entry is not matched by a later
    // entry of the same name.
    const std::vector<AssistantPtr> stored = allAssistants(context);
    for (const AssistantSeed& seed : response.assistants)
        mergeAssistantSeed(seed, stored, context);
    if (const Result<void, StoreError> saved = context.save(); !saved) {
        qCDebug(lcStore) << "catalogue save failed:" << saved.error().description << saved.error().details;
        printStdoutLine(catalogueUnusableLine);
        return false;
    }
    return true;
}

void refreshAssistantCatalogue(StoreContext& context, QNetworkAccessManager& network, const std::optional<QUrl>& base,
                               std::function<void()> done)
{
    // Stored assistants may point at bundled pictures whatever the source of
    // this refresh, so the resources are made available either way.
    registerCatalogueResources();
    if (base)
        refreshFromService(context, network, *base, std::move(done));
    else
        refreshFromBuiltIn(context, std::move(done));
}

void refreshAssistantCatalogueAndWait(StoreContext& context, QNetworkAccessManager& network,
                                      const std::optional<QUrl>& base)
{
    QEventLoop loop;
    auto finished = std::make_shared<bool>(false);
    refreshAssistantCatalogue(context, network, base, [finished, &loop]() {
        *finished = true;
        loop.quit();
    });
    if (!*finished)
        loop.exec();
}
