#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The addresses of every outside service, in one place. Each one can be replaced
// through an environment variable (tests point them at servers on 127.0.0.1).
namespace Endpoints {

// The chat-completions server in use, and whether it is OpenAI's own (which
// decides the form of function calling and which listed models are offered).
struct OpenAiServer {
    QUrl base;
    bool isOpenAi = true;
};
// VORBEL_OPENAI_URL (which plays OpenAI's server), else the stored
// "openAiBaseUrl" when it is a usable address, else OpenAI's address.
OpenAiServer openAiServer();
// The same for an address typed but not stored yet.
OpenAiServer openAiServerAt(const QString& address);
QUrl openAiDefaultBase();
// `path` ("/v1/models") on the server in use; a base ending in "/v1" is not doubled.
QUrl openAiUrl(const OpenAiServer& server, const QString& path);
QUrl wolframAlphaBase();                    // VORBEL_WOLFRAM_URL
QString pineconeDomain();                   // the domain that index hosts are composed under
std::optional<QUrl> pineconeBaseOverride(); // VORBEL_PINECONE_URL: replaces the composed host
std::optional<QUrl> catalogueBase();        // VORBEL_CATALOGUE_URL; none means the built-in catalogue
std::optional<QUrl> updateFeed();           // VORBEL_UPDATE_FEED_URL; none means updates cannot be checked
QUrl faqPage();                             // VORBEL_FAQ_URL
QUrl openAiSignUpPage();

// An http or https address with a host: the only kind of page the application
// hands to the browser when someone else wrote the address (a reply's link,
// the update feed's download page).
bool isWebAddress(const QUrl& url);

// How Vorbel names itself in every request: "Vorbel/<version> (Linux)".
QByteArray userAgent();

// Joins a path such as "/v1/models" onto a base that may itself carry a path prefix.
QUrl join(const QUrl& base, const QString& path);

} // namespace Endpoints
