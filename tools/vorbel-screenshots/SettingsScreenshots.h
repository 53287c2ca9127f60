#pragma once

#include <QString>

class StoreContext;

// Grabs each tab and state of the settings window into outDir, every file
// name ending in `suffix` (e.g. "-dark.png"). Stores only made-up keys.
// Returns 0 when every picture was written.
int writeSettingsScreenshots(const QString& outDir, const QString& suffix, StoreContext& store);
