#include "ui/settings/StoredSettings.h"

#include "core/Settings.h"

StoredSettings::StoredSettings(QObject* parent)
    : QObject(parent)
{
    connect(&Settings::instance(), &Settings::valueChanged, this, [this] {
        ++m_revision;
        Q_EMIT revisionChanged();
    });
    connect(&Settings::instance(), &Settings::secretPlaceChanged, this, &StoredSettings::keysInPrivateFileChanged);
}

bool StoredSettings::keysInPrivateFile() const
{
    return Settings::instance().secretPlace() == Settings::SecretPlace::File;
}

QString StoredSettings::text(const QString& key) const { return Settings::instance().text(key); }

void StoredSettings::setText(const QString& key, const QString& value)
{
    // Only the keys of the table are ever written.
    if (Settings::isKnownKey(key) && !Settings::isExtensionFlagKey(key))
        Settings::instance().setText(key, value);
}

bool StoredSettings::flag(const QString& key, bool fallback) const
{
    return Settings::instance().storedBool(key).value_or(fallback);
}

void StoredSettings::setFlag(const QString& key, bool value)
{
    if (Settings::isExtensionFlagKey(key))
        Settings::instance().setBool(key, value);
}
