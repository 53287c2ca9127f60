#include "extensions/ArgumentPreview.h"

#include "extensions/FunctionArguments.h"

#include "core/UntrustedText.h"

namespace {

QString previewBody(const QString& parameter, const std::optional<QString>& arguments)
{
    if (!arguments)
        return QString();
    const QString prefix = QStringLiteral("{\n  \"") + parameter + QStringLiteral("\": \"");
    if (arguments->contains(prefix)) {
        QString body = *arguments;
        body.remove(prefix);
        const QString suffix = QStringLiteral("\"\n}");
        if (body.endsWith(suffix))
            body.chop(suffix.size());
        return body;
    }
    // Compact or otherwise formatted JSON: show the value itself rather than nothing.
    if (const auto object = decodeArgumentObject(*arguments)) {
        const QJsonValue value = object->value(parameter);
        if (value.isString())
            return value.toString();
    }
    return *arguments;
}

// The heading, then the body in a code block. The block closes with one
// backquote more than it opened with, and it opens with more than any run of
// backquotes in the body, so arguments cannot end it early and pass for
// Markdown of the app's own.
QString fencedBody(const QString& heading, const QString& body)
{
    const QString fence = UntrustedText::fenceFor(body);
    return heading + QLatin1Char('\n') + fence + QLatin1Char('\n') + body + QLatin1Char('\n') + fence
         + QLatin1Char('`');
}

} // namespace

QString wrappedArgumentPreview(const QString& heading, const QString& parameter,
                               const std::optional<QString>& arguments)
{
    return fencedBody(heading, previewBody(parameter, arguments));
}

QString fencedArgumentPreview(const QString& heading, const std::optional<QString>& arguments)
{
    return fencedBody(heading, arguments.value_or(QString()));
}
