#include "core/Settings.h"

#include "core/CoreLog.h"
#include "core/PrivateFiles.h"
#include "core/SecretStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSettings>
#include <QThread>
#include <QTimer>

namespace {

const QString flagPrefix = QStringLiteral("custom_function_");
const QString flagSuffix = QStringLiteral("_enabled");

QSettings openStore() { return QSettings(QStringLiteral("Vorbel"), QStringLiteral("Vorbel")); }

// The file holds API keys, so it and its folder are the user's alone: an
// empty 0600 file exists before anything is written into it.
void makeStorePrivate()
{
    static const QString file = openStore().fileName();
    const QString folder = QFileInfo(file).absolutePath();
    PrivateFiles::makeFolders(folder, folder);
    PrivateFiles::makeFile(file);
}

QSettings openPrivateStore()
{
    static const bool madePrivate = (makeStorePrivate(), true);
    Q_UNUSED(madePrivate);
    return openStore();
}

// A write may replace the file, which takes the mode of the umask; it is
// tightened again at once.
template <typename Write>
void writeStore(const Write& write)
{
    makeStorePrivate();
    {
        QSettings store = openStore();
        write(store);
    }
    makeStorePrivate();
}

std::optional<QString> fileText(const QString& key)
{
    const QVariant value = openPrivateStore().value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

// Runs the event loop until `done` holds or waitMs have passed: the keyring
// answers through it. Only at start and at exit, before and after any window.
template <typename Done>
void waitUntil(const Done& done, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    QTimer wake; // WaitForMoreEvents returns at least this often
    wake.start(10);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
}

} // namespace

Settings::Settings() = default;
Settings::~Settings() = default;

Settings& Settings::instance()
{
    // Workers may be the first to read a setting; the change signals still
    // belong to the UI thread.
    static Settings* settings = [] {
        auto* created = new Settings;
        if (QCoreApplication* app = QCoreApplication::instance())
            created->moveToThread(app->thread());
        return created;
    }();
    return *settings;
}

QString Settings::extensionEnabledKey(const QString& extensionId) { return flagPrefix + extensionId + flagSuffix; }

QStringList Settings::textKeys()
{
    return {apiKeyKey,
            orgKeyKey,
            modelKey,
            openAiBaseUrlKey,
            pineconeApiKeyKey,
            pineconeIndexKey,
            pineconeEnvironmentKey,
            wolframAlphaAppIdKey,
            cliAppShellKey,
            cliAppCommandKey};
}

bool Settings::isExtensionFlagKey(const QString& key)
{
    return key.size() > flagPrefix.size() + flagSuffix.size() && key.startsWith(flagPrefix) && key.endsWith(flagSuffix);
}

QStringList Settings::secretKeys() { return {apiKeyKey, orgKeyKey, pineconeApiKeyKey, wolframAlphaAppIdKey}; }

bool Settings::isSecretKey(const QString& key) { return secretKeys().contains(key); }

bool Settings::isKnownKey(const QString& key) { return textKeys().contains(key) || isExtensionFlagKey(key); }

std::optional<QString> Settings::storedText(const QString& key) const
{
    if (isSecretKey(key)) {
        const QMutexLocker lock(&m_secretsMutex);
        // Until the keyring has answered (or when it refused), what the file holds.
        const auto known = m_secrets.constFind(key);
        if (m_secretPlace == SecretPlace::Keyring && known != m_secrets.cend())
            return *known;
    }
    return fileText(key);
}

std::optional<bool> Settings::storedBool(const QString& key) const
{
    const QVariant value = openPrivateStore().value(key);
    if (!value.isValid())
        return std::nullopt;
    // The INI format reads booleans back as the texts "true" and "false".
    if (value.typeId() == QMetaType::QString)
        return value.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    return value.toBool();
}

QString Settings::text(const QString& key) const
{
    if (const auto stored = storedText(key))
        return *stored;
    return key == modelKey ? defaultModel : QString();
}

void Settings::setText(const QString& key, const QString& value)
{
    Q_ASSERT(isKnownKey(key));
    if (usesKeyring(key)) {
        {
            const QMutexLocker lock(&m_secretsMutex);
            m_secrets[key] = value;
            m_failedReads.remove(key);
        }
        writeSecret(key, value);
    } else {
        writeStore([&](QSettings& store) { store.setValue(key, value); });
    }
    Q_EMIT valueChanged(key);
}

void Settings::setBool(const QString& key, bool value)
{
    Q_ASSERT(isExtensionFlagKey(key));
    writeStore([&](QSettings& store) { store.setValue(key, value); });
    Q_EMIT valueChanged(key);
}

void Settings::remove(const QString& key)
{
    if (usesKeyring(key))
        removeSecret(key);
    writeStore([&](QSettings& store) { store.remove(key); });
    Q_EMIT valueChanged(key);
}

bool Settings::usesKeyring(const QString& key) const
{
    const QMutexLocker lock(&m_secretsMutex);
    return m_secretPlace == SecretPlace::Keyring && isSecretKey(key);
}

Settings::SecretPlace Settings::secretPlace() const
{
    const QMutexLocker lock(&m_secretsMutex);
    return m_secretPlace;
}

bool Settings::secretReadFailed(const QString& key) const
{
    const QMutexLocker lock(&m_secretsMutex);
    return m_failedReads.contains(key);
}

bool Settings::isInKeyring(const QString& key) const
{
    const QMutexLocker lock(&m_secretsMutex);
    return m_secretPlace == SecretPlace::Keyring && !m_secrets.value(key).value_or(QString()).isEmpty();
}

void Settings::useKeyring(std::unique_ptr<SecretStore> store, int waitMs)
{
    {
        const QMutexLocker lock(&m_secretsMutex);
        m_secretPlace = store ? SecretPlace::Keyring : SecretPlace::File;
        m_secretStore = std::move(store);
        m_secrets.clear();
        m_pendingReads.clear();
        m_failedReads.clear();
        m_writesInFlight.clear();
        m_queuedWrites.clear();
        if (m_secretStore) {
            const QStringList keys = secretKeys();
            m_pendingReads = QSet<QString>(keys.cbegin(), keys.cend());
        }
    }
    Q_EMIT secretPlaceChanged();
    if (secretPlace() != SecretPlace::Keyring)
        return;
    for (const QString& key : secretKeys()) {
        m_secretStore->read(key, [this, key](SecretStore::Outcome outcome, const QString& value) {
            readSecretAnswered(key, int(outcome), value);
        });
    }
    waitUntil(
        [this] {
            const QMutexLocker lock(&m_secretsMutex);
            return m_pendingReads.isEmpty();
        },
        waitMs);
}

void Settings::readSecretAnswered(const QString& key, int outcome, const QString& value)
{
    const QString before = text(key);
    {
        const QMutexLocker lock(&m_secretsMutex);
        m_pendingReads.remove(key);
    }
    switch (SecretStore::Outcome(outcome)) {
    case SecretStore::Outcome::NoKeyring: noKeyring(); break;
    case SecretStore::Outcome::Failed: {
        // The app goes on with what the file may hold; the welcome screen says why the key is missing.
        {
            const QMutexLocker lock(&m_secretsMutex);
            m_failedReads.insert(key);
        }
        Q_EMIT valueChanged(key); // the screens that say why a key is missing
        return;
    }
    case SecretStore::Outcome::Done:
    case SecretStore::Outcome::NotFound: {
        bool writtenThisRun = false;
        {
            const QMutexLocker lock(&m_secretsMutex);
            writtenThisRun = m_secretPlace != SecretPlace::Keyring || m_secrets.contains(key);
        }
        if (writtenThisRun)
            break;
        // Only the file fallback writes a secret there, so the file's copy is
        // the newer one: it moves to the keyring.
        if (const auto inFile = fileText(key)) {
            {
                const QMutexLocker lock(&m_secretsMutex);
                m_secrets[key] = inFile;
            }
            writeSecret(key, *inFile);
        } else {
            const QMutexLocker lock(&m_secretsMutex);
            m_secrets[key] = SecretStore::Outcome(outcome) == SecretStore::Outcome::Done ? std::optional(value)
                                                                                         : std::nullopt;
        }
        break;
    }
    }
    if (text(key) != before)
        Q_EMIT valueChanged(key);
}

void Settings::writeSecret(const QString& key, const QString& value)
{
    // The keyring's jobs belong to this object's thread.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, key, value] { writeSecret(key, value); }, Qt::QueuedConnection);
        return;
    }
    {
        const QMutexLocker lock(&m_secretsMutex);
        // Typing writes at every key press: one write at a time per key, then the newest value.
        if (m_writesInFlight.contains(key)) {
            m_queuedWrites.insert(key, value);
            return;
        }
        m_writesInFlight.insert(key);
    }
    m_secretStore->write(key, value, [this, key, value](SecretStore::Outcome outcome, const QString&) {
        writeSecretAnswered(key, value, int(outcome));
    });
}

void Settings::writeSecretAnswered(const QString& key, const QString& value, int outcome)
{
    switch (SecretStore::Outcome(outcome)) {
    case SecretStore::Outcome::Done:
        // Only now may the file's copy go.
        if (fileText(key))
            writeStore([&](QSettings& store) { store.remove(key); });
        break;
    case SecretStore::Outcome::NoKeyring:
        noKeyring();
        keepSecretInFile(key, value);
        break;
    case SecretStore::Outcome::NotFound:
    case SecretStore::Outcome::Failed: keepSecretInFile(key, value); break;
    }
    std::optional<QString> queued;
    {
        const QMutexLocker lock(&m_secretsMutex);
        m_writesInFlight.remove(key);
        if (m_queuedWrites.contains(key))
            queued = m_queuedWrites.take(key);
    }
    if (queued) {
        if (usesKeyring(key))
            writeSecret(key, *queued);
        else
            keepSecretInFile(key, *queued);
    }
}

void Settings::removeSecret(const QString& key)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, key] { removeSecret(key); }, Qt::QueuedConnection);
        return;
    }
    {
        const QMutexLocker lock(&m_secretsMutex);
        m_secrets[key] = std::nullopt;
        m_queuedWrites.remove(key);
    }
    m_secretStore->remove(key, [key](SecretStore::Outcome outcome, const QString&) {
        if (outcome == SecretStore::Outcome::Failed)
            qCWarning(lcCore) << key << "could not be removed from the keyring";
    });
}

void Settings::keepSecretInFile(const QString& key, const QString& value)
{
    qCWarning(lcCore) << key << "is kept in the private settings file: the keyring did not store it";
    {
        // Read from the file from now on, and moved to the keyring again at the next start.
        const QMutexLocker lock(&m_secretsMutex);
        m_secrets.remove(key);
    }
    writeStore([&](QSettings& store) { store.setValue(key, value); });
}

void Settings::noKeyring()
{
    {
        const QMutexLocker lock(&m_secretsMutex);
        if (m_secretPlace == SecretPlace::File)
            return;
        m_secretPlace = SecretPlace::File;
    }
    qCInfo(lcCore) << "no system keyring: secrets are kept in the private settings file";
    Q_EMIT secretPlaceChanged();
}

void Settings::finishSecretWrites(int waitMs)
{
    const auto settled = [this] {
        const QMutexLocker lock(&m_secretsMutex);
        return m_writesInFlight.isEmpty() && m_queuedWrites.isEmpty();
    };
    waitUntil(settled, waitMs);
    QHash<QString, QString> unconfirmed;
    {
        const QMutexLocker lock(&m_secretsMutex);
        for (const QString& key : std::as_const(m_writesInFlight))
            unconfirmed.insert(key, m_queuedWrites.value(key, m_secrets.value(key).value_or(QString())));
    }
    for (auto entry = unconfirmed.cbegin(); entry != unconfirmed.cend(); ++entry)
        keepSecretInFile(entry.key(), entry.value());
}
