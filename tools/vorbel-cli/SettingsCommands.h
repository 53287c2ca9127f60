#pragma once

#include "vorbel-cli/CliEnvironment.h"
#include "vorbel-cli/CommandArguments.h"

#include <QString>
#include <QStringList>

namespace SettingsCommands {

// Every key of the settings table: the text keys, then one enabled flag per
// extension of the registry. Nothing else may be read or written.
QStringList tableKeys();
bool isTableKey(const QString& key);
bool isFlagKey(const QString& key);

// The value as the app would use it: the stored text or the table's default;
// flags as "true"/"false", the extension's default while never set.
QString displayedValue(const QString& key);

// settings list | get KEY | set KEY VALUE
int run(CliEnvironment& environment, const CommandArguments& arguments);

} // namespace SettingsCommands
