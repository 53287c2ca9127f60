#include "core/SecretStore.h"

#include "core/CoreLog.h"

#include <algorithm>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <qt6keychain/keychain.h>

namespace {

SecretStore::Outcome outcomeOf(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoError: return SecretStore::Outcome::Done;
    case QKeychain::EntryNotFound: return SecretStore::Outcome::NotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented: return SecretStore::Outcome::NoKeyring;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
    case QKeychain::OtherError: break;
    }
    // The library's text names the backend's failure, never the secret.
    qCWarning(lcCore) << "keyring:" << job.key() << job.errorString();
    return SecretStore::Outcome::Failed;
}

template <typename JobType>
JobType* startJob(const QString& key, SecretStore::Answer answer, std::function<QString(JobType&)> value)
{
    auto* job = new JobType(SecretStore::serviceName);
    job->setAutoDelete(true);
    // Never QtKeychain's own plain-text fallback: the private file is ours.
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, job, [answer = std::move(answer), value](QKeychain::Job* done) {
        auto& typed = static_cast<JobType&>(*done);
        const SecretStore::Outcome outcome = outcomeOf(typed);
        answer(outcome, outcome == SecretStore::Outcome::Done && value ? value(typed) : QString());
    });
    return job;
}

class KeychainStore final : public SecretStore {
public:
    void read(const QString& key, Answer answer) override
    {
        startJob<QKeychain::ReadPasswordJob>(key, std::move(answer), [](QKeychain::ReadPasswordJob& job) {
            return job.textData();
        })->start();
    }

    void write(const QString& key, const QString& value, Answer answer) override
    {
        auto* job = startJob<QKeychain::WritePasswordJob>(key, std::move(answer), {});
        job->setTextData(value);
        job->start();
    }

    void remove(const QString& key, Answer answer) override
    {
        startJob<QKeychain::DeletePasswordJob>(key, std::move(answer), {})->start();
    }
};

// A Secret Service (GNOME Keyring, KeePassXC, ...) or KWallet, running or
// started on demand by the session bus. Without a session bus there is none:
// asking would only yield errors at every read.
bool hasKeyring()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QStringList services{QStringLiteral("org.freedesktop.secrets"), QStringLiteral("org.kde.kwalletd6"),
                               QStringLiteral("org.kde.kwalletd5")};
    QDBusConnectionInterface* names = bus.interface();
    const QStringList activatable = names->activatableServiceNames();
    return std::any_of(services.cbegin(), services.cend(), [&](const QString& service) {
        return activatable.contains(service) || names->isServiceRegistered(service);
    });
}

} // namespace

std::unique_ptr<SecretStore> SecretStore::system()
{
    if (qEnvironmentVariable("VORBEL_SECRET_STORE") == QLatin1String("file"))
        return nullptr;
    if (!hasKeyring()) {
        qCInfo(lcCore) << "no system keyring on this session";
        return nullptr;
    }
    return std::make_unique<KeychainStore>();
}
