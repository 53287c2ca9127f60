#pragma once

#include "ui/mainwindow/MainWindowServices.h"
#include "ui/mainwindow/WindowGeometryStore.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQmlEngine>

class QQmlComponent;
class QQuickWindow;

// Builds the main windows from QML on one engine. Windows delete themselves
// when closed; those still open go with the factory, before its engine. The
// last window to close (or the last open at exit) leaves its geometry for the
// next run.
class MainWindowFactory : public QObject {
    Q_OBJECT
public:
    explicit MainWindowFactory(QObject* parent = nullptr);
    ~MainWindowFactory() override;

    // The window is shown; null (and the reasons logged) if the QML failed.
    QQuickWindow* open(const MainWindowServices& services);
    QList<QQuickWindow*> windows() const;
    QQmlEngine& engine() { return m_engine; }

Q_SIGNALS:
    // The last open main window was closed.
    void lastWindowClosed();

private:
    QQmlEngine m_engine;
    QQmlComponent* m_component = nullptr;
    WindowGeometryStore m_geometry;
    QList<QPointer<QQuickWindow>> m_windows;
};
