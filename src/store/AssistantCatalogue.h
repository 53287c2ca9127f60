#pragma once

#include "store/AssistantSeed.h"
#include "store/StoreContext.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

class QNetworkAccessManager;

// The outcome lines of a refresh, written to standard output.
inline constexpr char catalogueUnreachableLine[] = "Unable to get assistant data here";
inline constexpr char catalogueUnusableLine[] = "Unable to get assistant data there";

// The catalogue that ships inside the app, used when no catalogue service is
// configured. Same JSON as the service; its pictures are "qrc:" addresses.
QString builtInCataloguePath(); // ":/catalogue/assistants.json"
// The file's bytes, or nothing when the resource cannot be read.
std::optional<QByteArray> readBuiltInCatalogue();

// The catalogue address under a service base that may carry a path prefix.
QUrl catalogueRequestUrl(const QUrl& base);

// The first assistant, in list order, whose name equals the given one exactly.
AssistantPtr findAssistantByName(const std::vector<AssistantPtr>& assistants, const QString& name);

// Applies one entry against the assistants fetched before the merge began.
// Never clears deletedAt and never changes an existing id. Does not save.
void mergeAssistantSeed(const AssistantSeed& seed, const std::vector<AssistantPtr>& assistants, StoreContext& context);

// Fetches every stored assistant once, merges every entry in order and saves
// once. A failed save prints the "there" line and leaves the changes pending.
// Returns whether the save went through. UI thread only.
bool mergeAssistantCatalogue(StoreContext& context, const AssistantApiResponse& response);

// Starts a refresh and returns at once. With a base address the catalogue is
// fetched from <base>/api/v1/assistants through the given manager; without one
// the built-in catalogue is read and the network is not used. Decoding runs on
// a pool thread; the merge and its save run on the UI thread. `done` is called
// on the UI thread when the refresh has finished, whatever the outcome; if the
// context was destroyed meanwhile nothing is merged and `done` is still called.
void refreshAssistantCatalogue(StoreContext& context, QNetworkAccessManager& network, const std::optional<QUrl>& base,
                               std::function<void()> done = {});

// Runs a refresh and waits for it in a local event loop (for the command-line tool).
void refreshAssistantCatalogueAndWait(StoreContext& context, QNetworkAccessManager& network,
                                      const std::optional<QUrl>& base);
