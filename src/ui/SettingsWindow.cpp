#include "ui/SettingsWindow.h"

#include <QPointer>

SettingsWindow::SettingsWindow(QWidget* parent)
    : QTabWidget(parent)
{
    setWindowTitle(tr("Settings"));
    addTab(new QWidget(this), tr("Assistants"));
    addTab(new QWidget(this), tr("API"));
    addTab(new QWidget(this), tr("Extensions"));
    resize(700, 560);
}

SettingsWindow& SettingsWindow::showShared()
{
    static QPointer<SettingsWindow> window;
    if (!window) {
        window = new SettingsWindow;
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return *window;
}
