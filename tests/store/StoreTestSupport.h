#pragma once

#include "store/DataController.h"

#include <QTemporaryDir>

#include <memory>

// A store in a temporary folder that can be closed and opened again.
class TemporaryStore {
public:
    TemporaryStore() { reopen(); }
    QString path() const { return m_dir.path() + "/Vorbel.sqlite"; }
    StoreContext& context() { return m_controller->viewContext(); }
    DataController& controller() { return *m_controller; }
    void reopen()
    {
        m_controller.reset();
        m_controller = std::make_unique<DataController>(path());
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DataController> m_controller;
};
