#include "core/Settings.h"

#include "core/PrivateFiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString flagPrefix = QStringLiteral("custom_function_");
const QString flagSuffix = QStringLiteral("_enabled");

QSettings openStore()
{
    return QSettings(QStringLiteral("Vorbel"), QStringLiteral("Vorbel"));
}

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

} // namespace

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

QString Settings::extensionEnabledKey(const QString& extensionId)
{
    return flagPrefix + extensionId + flagSuffix;
}

QStringList Settings::textKeys()
{
    return {apiKeyKey, orgKeyKey, modelKey, openAiBaseUrlKey, pineconeApiKeyKey, pineconeIndexKey,
            pineconeEnvironmentKey, wolframAlphaAppIdKey, cliAppShellKey, cliAppCommandKey};
}

bool Settings::isExtensionFlagKey(const QString& key)
{
    return key.size() > flagPrefix.size() + flagSuffix.size() && key.startsWith(flagPrefix)
        && key.endsWith(flagSuffix);
}

bool Settings::isKnownKey(const QString& key)
{
    return textKeys().contains(key) || isExtensionFlagKey(key);
}

std::optional<QString> Settings::storedText(const QString& key) const
{
    const QVariant value = openPrivateStore().value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
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
    writeStore([&](QSettings& store) { store.setValue(key, value); });
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
    writeStore([&](QSettings& store) { store.remove(key); });
    Q_EMIT valueChanged(key);
}
