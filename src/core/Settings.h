#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <QHash>
#include <QMutex>
#include <QSet>

#include <memory>
#include <optional>

class SecretStore;

// The settings store: one value per key in the user's settings file. The key
// texts are fixed and shared with earlier runs, misspellings included.
// Screens bind to valueChanged; other code reads afresh at the moment of use.
// The secret keys live in the system keyring once useKeyring() has found one:
// read once then, kept in memory, and written through to the keyring.
class Settings : public QObject {
    Q_OBJECT
public:
    static inline const QString apiKeyKey = QStringLiteral("apiKey");
    static inline const QString orgKeyKey = QStringLiteral("orgKey");
    static inline const QString modelKey = QStringLiteral("model");
    // The chat-completions server; absent means OpenAI's own.
    static inline const QString openAiBaseUrlKey = QStringLiteral("openAiBaseUrl");
    static inline const QString pineconeApiKeyKey = QStringLiteral("pineconeAPiKey");
    static inline const QString pineconeIndexKey = QStringLiteral("pineconeIndex");
    static inline const QString pineconeEnvironmentKey = QStringLiteral("pineconeEnvironment");
    static inline const QString wolframAlphaAppIdKey = QStringLiteral("woframAlphaAppId");
    static inline const QString cliAppShellKey = QStringLiteral("cliAppShell");
    static inline const QString cliAppCommandKey = QStringLiteral("cliAppCommand");
    static inline const QString defaultModel = QStringLiteral("gpt-3.5-turbo");
    // What the shell panel shows while nothing is stored; the extension itself
    // falls back to "/bin/bash" instead.
    static inline const QString panelDefaultShell = QStringLiteral("bin/bash");

    // The one process-wide instance, so a write is seen at once by every screen.
    static Settings& instance();

    static QString extensionEnabledKey(const QString& extensionId);
    static QStringList textKeys();              // every text key of the table
    static bool isKnownKey(const QString& key); // text keys and "custom_function_<id>_enabled"
    static bool isExtensionFlagKey(const QString& key);
    static QStringList secretKeys();
    static bool isSecretKey(const QString& key);

    enum class SecretPlace {
        Undecided, // the file, as before any keyring was asked
        File,      // no keyring, or VORBEL_SECRET_STORE=file
        Keyring,
    };
    // Reads the secrets from `store` (the file alone when null), waiting up to
    // waitMs for the answers; later answers still arrive. A secret still in
    // the file is written to the keyring and leaves the file once the keyring
    // has confirmed it. Called once, at start.
    void useKeyring(std::unique_ptr<SecretStore> store, int waitMs);
    SecretPlace secretPlace() const;
    // The keyring answered the read of `key` with a refusal or an error (a
    // locked keyring the user did not unlock).
    bool secretReadFailed(const QString& key) const;
    // Set, and kept in the keyring rather than the file.
    bool isInKeyring(const QString& key) const;
    // Waits up to waitMs for the keyring to confirm every write; what it has
    // not confirmed by then is kept in the file, so nothing is lost at exit.
    void finishSecretWrites(int waitMs);

    // Absent versus stored: nullopt only when the key was never written.
    std::optional<QString> storedText(const QString& key) const;
    std::optional<bool> storedBool(const QString& key) const;

    // The text of a key, or the table's default when absent.
    QString text(const QString& key) const;

    QString apiKey() const { return text(apiKeyKey); }
    QString orgKey() const { return text(orgKeyKey); }
    QString model() const { return text(modelKey); }

    void setText(const QString& key, const QString& value);
    void setBool(const QString& key, bool value);
    void remove(const QString& key);

Q_SIGNALS:
    void valueChanged(const QString& key);
    void secretPlaceChanged();

private:
    Settings();
    ~Settings() override;

    void readSecretAnswered(const QString& key, int outcome, const QString& value);
    void writeSecret(const QString& key, const QString& value);
    void writeSecretAnswered(const QString& key, const QString& value, int outcome);
    void removeSecret(const QString& key);
    void keepSecretInFile(const QString& key, const QString& value);
    void noKeyring();
    bool usesKeyring(const QString& key) const;

    // Workers read settings too; the keyring state is guarded, the keyring
    // itself is only called from this object's thread.
    mutable QMutex m_secretsMutex;
    std::unique_ptr<SecretStore> m_secretStore;
    SecretPlace m_secretPlace = SecretPlace::Undecided;
    QHash<QString, std::optional<QString>> m_secrets; // known from the keyring, or written this run
    QSet<QString> m_pendingReads;
    QSet<QString> m_failedReads;
    QSet<QString> m_writesInFlight;
    QHash<QString, QString> m_queuedWrites; // the newest value typed while a write was in flight
};
