#include "vorbel-cli/CommandArguments.h"

#include <optional>

CommandArguments CommandArguments::parse(const QStringList& arguments, const QStringList& valueOptions,
                                         const QStringList& flagOptions)
{
    CommandArguments parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        // A lone "-" is positional, as are negative numbers such as "-5".
        const bool looksLikeOption = argument.size() > 1 && argument.startsWith(QLatin1Char('-'))
                                  && !argument.at(1).isDigit();
        if (optionsEnded || !looksLikeOption) {
            parsed.positionals << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!argument.startsWith(QLatin1String("--"))) {
            parsed.error = QStringLiteral("unknown option %1").arg(argument);
            return parsed;
        }
        QString name = argument.mid(2);
        std::optional<QString> inlineValue;
        if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals >= 0) {
            inlineValue = name.mid(equals + 1);
            name.truncate(equals);
        }
        if (parsed.has(name)) {
            parsed.error = QStringLiteral("option --%1 given twice").arg(name);
            return parsed;
        }
        if (valueOptions.contains(name)) {
            if (inlineValue) {
                parsed.values.insert(name, *inlineValue);
            } else if (i + 1 < arguments.size()) {
                parsed.values.insert(name, arguments.at(++i));
            } else {
                parsed.error = QStringLiteral("option --%1 needs a value").arg(name);
                return parsed;
            }
        } else if (flagOptions.contains(name)) {
            if (inlineValue) {
                parsed.error = QStringLiteral("option --%1 takes no value").arg(name);
                return parsed;
            }
            parsed.flags.insert(name);
        } else {
            parsed.error = QStringLiteral("unknown option --%1").arg(name);
            return parsed;
        }
    }
    return parsed;
}
