#pragma once

// Finding and driving Qt Quick items by objectName in tests.

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace QuickTest {

// Delegates and popups are not always QObject children of the window, so
// look through both trees, visiting each object once (an item is usually in
// both, and walking it twice per level would double the work at every depth).
inline void findAll(QObject* root, const QString& name, QList<QObject*>& found, QSet<QObject*>& seen)
{
    if (seen.contains(root))
        return;
    seen.insert(root);
    if (root->objectName() == name)
        found << root;
    for (QObject* child : root->children())
        findAll(child, name, found, seen);
    if (auto* item = qobject_cast<QQuickItem*>(root)) {
        for (QQuickItem* child : item->childItems())
            findAll(child, name, found, seen);
    }
}

inline QList<QObject*> findAll(QQuickWindow* window, const QString& name)
{
    QList<QObject*> found;
    QSet<QObject*> seen;
    findAll(window, name, found, seen);
    findAll(window->contentItem(), name, found, seen);
    return found;
}

inline QObject* find(QQuickWindow* window, const QString& name) { return findAll(window, name).value(0); }

// The items named `name` under `root`, rows a Repeater made among them.
inline QList<QQuickItem*> itemsIn(QQuickItem* root, const QString& name)
{
    QList<QObject*> found;
    QSet<QObject*> seen;
    findAll(root, name, found, seen);
    QList<QQuickItem*> items;
    for (QObject* object : found) {
        if (auto* item = qobject_cast<QQuickItem*>(object))
            items << item;
    }
    return items;
}

// The one on screen, when several items share the name (a menu of each row,
// the same field in a hidden form).
inline QQuickItem* item(QQuickWindow* window, const QString& name)
{
    QQuickItem* first = nullptr;
    for (QObject* object : findAll(window, name)) {
        auto* candidate = qobject_cast<QQuickItem*>(object);
        if (candidate && candidate->window() && candidate->isVisible())
            return candidate;
        if (!first)
            first = candidate;
    }
    return first;
}

// Layouts and lists place their items when the window draws: wait for one
// frame so that a row just added or a tab just shown sits where it will be
// clicked.
inline void settle(QQuickWindow* window)
{
    QSignalSpy drawn(window, &QQuickWindow::frameSwapped);
    window->update();
    drawn.wait(1000);
}

inline void click(QQuickWindow* window, QQuickItem* target, Qt::MouseButton button = Qt::LeftButton)
{
    settle(window);
    ASSERT_TRUE(target);
    ASSERT_TRUE(target->isVisible());
    QTest::mouseClick(window, button, {},
                      target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
}

// Types into whatever has the keyboard (Latin-1 text only).
inline void keyClicks(QQuickWindow* window, const QString& text)
{
    for (const QChar character : text)
        QTest::keyClick(window, character.toLatin1());
}

// Replaces a text field's text as a user would: focus, select all, delete, type.
inline void type(QQuickWindow* window, QQuickItem* field, const QString& text)
{
    ASSERT_TRUE(field);
    field->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Backspace);
    keyClicks(window, text);
}

// What a screen reader finds in `window`: the name of every control it
// reaches (hidden ones skipped), an unnamed one as an empty entry.
inline QStringList accessibleNames(QQuickWindow* window)
{
    static const QSet<QAccessible::Role> interactive = {
        QAccessible::MenuBar,      QAccessible::MenuItem, QAccessible::PageTab, QAccessible::Button,
        QAccessible::PushButton,   QAccessible::ListItem, QAccessible::Link,    QAccessible::CheckBox,
        QAccessible::EditableText, QAccessible::ComboBox};
    QStringList names;
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node || node->state().invisible)
            return;
        if (interactive.contains(node->role()))
            names << node->text(QAccessible::Name);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(window));
    return names;
}

} // namespace QuickTest
