#pragma once

#include "vorbel-cli/CliIo.h"

#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class StoreContext;

// What every command works with: the app's store, its network manager and the
// terminal.
struct CliEnvironment {
    StoreContext& store;
    QNetworkAccessManager& network;
    std::optional<QUrl> catalogueBase; // none: the catalogue built into the app
    CliIo& io;
};
