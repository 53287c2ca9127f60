#include "vorbel-cli/SettingsCommands.h"

#include "core/ServerAddress.h"
#include "core/Settings.h"
#include "extensions/ExtensionRegistry.h"
#include "vorbel-cli/TextFormats.h"

namespace SettingsCommands {

namespace {

const QString trueText = QStringLiteral("true");
const QString falseText = QStringLiteral("false");
const QString inKeyringText = QStringLiteral("(in keyring)");

std::optional<CustomExtension> extensionOfFlag(const QString& key)
{
    for (const CustomExtension& extension : allExtensions()) {
        if (Settings::extensionEnabledKey(extension.id) == key)
            return extension;
    }
    return std::nullopt;
}

int list(CliEnvironment& environment)
{
    // A list may end up on screen or in a log: a key in the keyring stays there.
    for (const QString& key : tableKeys()) {
        const QString value = Settings::instance().isInKeyring(key) ? inKeyringText : displayedValue(key);
        environment.io.out << TextFormats::tsvLine({key, value}) << '\n';
    }
    environment.io.out.flush();
    return ExitSuccess;
}

int get(CliEnvironment& environment, const QString& key)
{
    if (!isTableKey(key))
        return reportError(environment.io, ExitUsage, QStringLiteral("unknown setting \"%1\"").arg(key));
    environment.io.out << displayedValue(key) << '\n';
    environment.io.out.flush();
    return ExitSuccess;
}

// The server address is used as typed, so only an http or https address is
// stored; the key goes with every request, which the user hears about when
// that would be in the clear.
int setServerAddress(CliEnvironment& environment, const QString& value)
{
    switch (ServerAddress::store(value)) {
    case ServerAddress::Kind::Invalid:
        // Not echoed: a refused address may carry a password.
        return reportError(environment.io, ExitUsage,
                           QStringLiteral("%1 is an http:// or https:// address with a host and without a user "
                                          "name, query or fragment; nothing was stored")
                               .arg(Settings::openAiBaseUrlKey));
    case ServerAddress::Kind::Unencrypted:
        environment.io.err << "vorbel-cli: warning: " << value.trimmed()
                           << " is plain http to another machine; the API key travels unencrypted\n";
        environment.io.err.flush();
        break;
    case ServerAddress::Kind::Empty:
    case ServerAddress::Kind::Encrypted:
    case ServerAddress::Kind::Loopback: break;
    }
    return ExitSuccess;
}

int set(CliEnvironment& environment, const QString& key, const QString& value)
{
    if (!isTableKey(key))
        return reportError(environment.io, ExitUsage, QStringLiteral("unknown setting \"%1\"").arg(key));
    if (isFlagKey(key)) {
        if (value != trueText && value != falseText)
            return reportError(environment.io, ExitUsage,
                               QStringLiteral("%1 is true or false, not \"%2\"").arg(key, value));
        Settings::instance().setBool(key, value == trueText);
    } else if (key == Settings::openAiBaseUrlKey) {
        return setServerAddress(environment, value);
    } else {
        Settings::instance().setText(key, value);
    }
    return ExitSuccess;
}

} // namespace

QStringList tableKeys()
{
    QStringList keys = Settings::textKeys();
    for (const CustomExtension& extension : allExtensions())
        keys << Settings::extensionEnabledKey(extension.id);
    return keys;
}

bool isTableKey(const QString& key) { return Settings::textKeys().contains(key) || isFlagKey(key); }

bool isFlagKey(const QString& key) { return extensionOfFlag(key).has_value(); }

QString displayedValue(const QString& key)
{
    if (const auto extension = extensionOfFlag(key)) {
        const bool enabled = Settings::instance().storedBool(key).value_or(extension->enabledByDefault);
        return enabled ? trueText : falseText;
    }
    return Settings::instance().text(key);
}

int run(CliEnvironment& environment, const CommandArguments& arguments)
{
    const QStringList& words = arguments.positionals;
    const QString action = words.value(0);
    const auto expect = [&](qsizetype count, const char* usage) -> std::optional<int> {
        if (words.size() == count)
            return std::nullopt;
        return reportError(environment.io, ExitUsage,
                           QStringLiteral("usage: vorbel-cli settings %1").arg(QLatin1String(usage)));
    };
    if (action == QLatin1String("list")) {
        if (const auto error = expect(1, "list"))
            return *error;
        return list(environment);
    }
    if (action == QLatin1String("get")) {
        if (const auto error = expect(2, "get KEY"))
            return *error;
        return get(environment, words.at(1));
    }
    if (action == QLatin1String("set")) {
        if (const auto error = expect(3, "set KEY VALUE"))
            return *error;
        return set(environment, words.at(1), words.at(2));
    }
    return reportError(environment.io, ExitUsage,
                       QStringLiteral("usage: vorbel-cli settings list | get KEY | set KEY VALUE"));
}

} // namespace SettingsCommands
