#include "ui/markdown/ComponentItem.h"

#include "ui/common/UiLog.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickItem>

QQuickItem* beginItem(QQmlComponent* component, const QObject* owner)
{
    QQmlContext* context = component->creationContext() ? component->creationContext() : qmlContext(owner);
    QObject* object = component->beginCreate(context);
    auto* item = qobject_cast<QQuickItem*>(object);
    if (!item) {
        if (object)
            component->completeCreate();
        delete object;
        qCWarning(lcUi) << "a component that makes no item:" << component->errorString();
    }
    return item;
}
