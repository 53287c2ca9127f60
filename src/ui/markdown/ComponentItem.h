#pragma once

class QObject;
class QQmlComponent;
class QQuickItem;

// Begins making `component`'s item in the context it was declared in (or in
// `owner`'s); the caller sets its properties and parent, then completes it.
// Null, and a warning, when the component makes no item.
QQuickItem* beginItem(QQmlComponent* component, const QObject* owner);
