#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// One entry of the assistant catalogue, as the catalogue service sends it.
struct AssistantSeed {
    QString name;
    QString personality;
    QString intro;
    QString profilePictureUrl; // text; parsed when merged
    qint16 version = 0;
    std::optional<bool> forceDelete;

    bool isForceDelete() const { return forceDelete.value_or(false); }
};

// The whole catalogue body: {"assistants": [ ... ]}.
struct AssistantApiResponse {
    std::vector<AssistantSeed> assistants;
};

// Strict decoding: every required key with its JSON type, "version" a whole
// number in the 16-bit signed range, "forceDelete" a boolean when present (null
// counts as absent). One bad entry rejects the whole body. Unknown keys are
// ignored. Safe to call on any thread.
std::optional<AssistantApiResponse> decodeAssistantApiResponse(const QByteArray& body);
