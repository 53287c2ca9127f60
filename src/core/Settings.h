#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// The settings store: one value per key in the user's settings file. The key
// texts are fixed and shared with earlier runs, misspellings included.
// Screens bind to valueChanged; other code reads afresh at the moment of use.
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
    static QStringList textKeys();           // every text key of the table
    static bool isKnownKey(const QString& key); // text keys and "custom_function_<id>_enabled"
    static bool isExtensionFlagKey(const QString& key);

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

private:
    Settings() = default;
};
