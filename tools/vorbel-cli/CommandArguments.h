#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The arguments of one command after its name: options ("--name VALUE",
// "--name=VALUE", flags such as "--yes") anywhere, everything else positional.
// "--" ends the options, so a prompt may start with a dash.
struct CommandArguments {
    QHash<QString, QString> values; // by option name without the dashes
    QSet<QString> flags;
    QStringList positionals;
    QString error; // empty when the arguments parsed

    bool ok() const { return error.isEmpty(); }
    bool has(const QString& option) const { return values.contains(option) || flags.contains(option); }
    QString value(const QString& option) const { return values.value(option); }

    // valueOptions take a value; flagOptions take none. Any other option is an
    // error, as is an option given twice or a value option without its value.
    static CommandArguments parse(const QStringList& arguments, const QStringList& valueOptions,
                                  const QStringList& flagOptions);
};
