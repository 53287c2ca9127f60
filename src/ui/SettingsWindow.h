#pragma once

#include <QTabWidget>

// The settings window: assistants, API and extensions tabs. One per process.
class SettingsWindow : public QTabWidget {
    Q_OBJECT
public:
    explicit SettingsWindow(QWidget* parent = nullptr);
    static SettingsWindow& showShared();
};
