#pragma once

#include <QObject>
#include <QPointer>
#include <QQmlEngine>

class QQuickWindow;
class StoreContext;

// The application's one settings window: assistants, OpenAI settings and
// extensions. Opening it again raises the open one; a closed one is gone, and
// the next is built afresh on its first tab. It lives no longer than the
// store it edits.
class SettingsWindow : public QObject {
    Q_OBJECT
public:
    ~SettingsWindow() override;

    // Null (and the reasons logged) if the QML failed to load.
    static QQuickWindow* showShared(StoreContext& store);
    // The open window, or null.
    static QQuickWindow* shared();

private:
    explicit SettingsWindow(StoreContext& store);

    StoreContext& m_store;
    QQmlEngine m_engine;
    QPointer<QQuickWindow> m_window;
};
