#include "extensions/WolframAlphaExtension.h"

#include "core/BlockingHttp.h"
#include "core/Endpoints.h"
#include "core/Settings.h"
#include "extensions/ArgumentPreview.h"
#include "extensions/ExtensionsLog.h"
#include "extensions/FunctionArguments.h"

#include <QNetworkRequest>
#include <QUrl>

namespace {

const QString failureText = QStringLiteral("Unable to run script");
const QString missingAppIdText =
    QStringLiteral("Missing Wolfram Alpha App ID. Please enter it in the settings of the app.");

bool isAllowedInQuery(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

} // namespace

QByteArray percentEncodeQueryValue(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray encoded;
    for (const char byte : text.toUtf8()) {
        if (isAllowedInQuery(byte)) {
            encoded.append(byte);
        } else {
            const auto value = static_cast<unsigned char>(byte);
            encoded.append('%').append(hex[value >> 4]).append(hex[value & 0x0F]);
        }
    }
    return encoded;
}

QString executeWolframAlphaRequest(const std::optional<QString>& arguments)
{
    if (!arguments)
        return failureText;
    QString prompt;
    try {
        prompt = requiredText(requireArgumentObject(arguments), QStringLiteral("prompt"));
    } catch (const ArgumentDecodingError&) {
        return failureText;
    }
    // Absent and empty differ: an empty stored App ID is still sent.
    const std::optional<QString> appId = Settings::instance().storedText(Settings::wolframAlphaAppIdKey);
    if (!appId)
        return missingAppIdText;

    // The App ID goes in as stored; one that breaks the address fails the call
    // rather than being sent somewhere else.
    const QByteArray address =
        Endpoints::join(Endpoints::wolframAlphaBase(), QStringLiteral("/v1/result")).toEncoded(QUrl::FullyEncoded)
        + "?i=" + percentEncodeQueryValue(prompt) + "&appid=" + appId->toUtf8();
    const QUrl url = QUrl::fromEncoded(address, QUrl::StrictMode);
    if (!url.isValid()) {
        // The address carries the App ID: it is never logged.
        qCInfo(lcExtensions) << "The stored App ID does not fit in a request address";
        return failureText;
    }
    const HttpResponse response = performBlockingRequest(QNetworkRequest(url), "GET", QByteArray(), 60000);
    if (!response.transportOk) {
        // The network layer may quote the address, App ID and all.
        QString reason = response.transportError;
        if (!appId->isEmpty())
            reason.replace(*appId, QStringLiteral("<App ID>"));
        qCInfo(lcExtensions) << "Request failed:" << reason;
        return failureText;
    }
    // A redirect is not followed (the App ID would go along), and its body is no answer.
    if (response.status >= 300 && response.status < 400) {
        qCInfo(lcExtensions) << "Request failed: redirected with status" << response.status;
        return failureText;
    }
    if (response.bodyTooLarge) {
        qCInfo(lcExtensions) << "Request failed: the answer is too large";
        return failureText;
    }
    // Otherwise the status does not matter: an error answer's body is the answer.
    return QString::fromUtf8(response.body);
}

CustomExtension makeWolframAlphaExtension()
{
    CustomFunction function;
    function.name = QStringLiteral("Query WolframAlpha");
    function.requiresConfirmation = false;
    function.apiDefinition.name = QStringLiteral("wolframAlphaRequest");
    function.apiDefinition.description = QStringLiteral(
        "Returns a response from Wolfram Alpha for the given query. Simple text output only. Use for calculations, "
        "looking up stats, and answering numerical queries.");
    function.apiDefinition.parameters.properties = {
        {QStringLiteral("prompt"),
         Property{QStringLiteral("string"), QStringLiteral("The query for Wolfram Alpha to reply to"), std::nullopt}}};
    function.apiDefinition.parameters.required = {QStringLiteral("prompt")};
    function.execution = [](const std::optional<QString>& arguments) { return executeWolframAlphaRequest(arguments); };
    function.preview = [](const std::optional<QString>& arguments) {
        return wrappedArgumentPreview(QStringLiteral("Requesting from Wolfram Alpha"), QStringLiteral("prompt"),
                                      arguments);
    };

    CustomExtension extension;
    extension.id = QStringLiteral("wolframAlphaRequest");
    extension.userFacingName = QStringLiteral("Wolfram Alpha access");
    extension.userFacingDescription = QStringLiteral(
        "Allows assistants to query Wolfram Alpha to answer questions. Useful for calculations, and looking up "
        "facts.");
    extension.enabledByDefault = false;
    extension.mayBeEnabled = [] {
        return !Settings::instance().storedText(Settings::wolframAlphaAppIdKey).value_or(QString()).isEmpty();
    };
    extension.functions = {function};
    return extension;
}
