#include "extensions/ArgumentPreview.h"

#include "extensions/FunctionArguments.h"

namespace {

const QString closingFence = QStringLiteral("\n````");

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

} // namespace

QString wrappedArgumentPreview(const QString& heading, const QString& parameter,
                               const std::optional<QString>& arguments)
{
    return heading + previewBody(parameter, arguments) + closingFence;
}

QString fencedArgumentPreview(const QString& heading, const std::optional<QString>& arguments)
{
    return heading + QStringLiteral("\n```\n") + arguments.value_or(QString()) + closingFence;
}
