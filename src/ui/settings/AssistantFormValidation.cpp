#include "ui/settings/AssistantFormValidation.h"

#include <QCoreApplication>

QString assistantFormProblem(const QString& name, const QString& personality, const QString& pictureUrl)
{
    if (name.isEmpty())
        return QCoreApplication::translate("AssistantForm", "Name is required");
    if (personality.isEmpty())
        return QCoreApplication::translate("AssistantForm", "Personality is required");
    if (pictureUrl.isEmpty())
        return QCoreApplication::translate("AssistantForm", "Picture URL is required");
    if (!pictureUrl.startsWith(QLatin1String("https://")) && !pictureUrl.startsWith(QLatin1String("http://")))
        return QCoreApplication::translate("AssistantForm", "Picture URL needs to start with http:// or https://");
    return QString();
}
