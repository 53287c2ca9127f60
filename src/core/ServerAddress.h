#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The address of a chat-completions server as the user types it: OpenAI's
// own, or a model server of their own (with or without the "/v1" suffix).
namespace ServerAddress {

enum class Kind {
    Empty,       // nothing typed: OpenAI's own server
    Encrypted,   // https
    Loopback,    // http to this machine: nothing leaves it
    Unencrypted, // http to another host: the key travels in the clear
    Invalid,     // not an http or https address with a host
};

Kind classify(const QString& text);

// The base of an http or https address with a host; none otherwise.
std::optional<QUrl> parse(const QString& text);

// Stores `text` as the "openAiBaseUrl" setting when usable (trimmed); nothing
// typed removes the setting (OpenAI's server); an invalid address changes
// nothing. Returns what the text was.
Kind store(const QString& text);

// `path` ("/v1/models") under `base`, which may end in "/v1" or not.
QUrl apiUrl(const QUrl& base, const QString& path);

} // namespace ServerAddress
