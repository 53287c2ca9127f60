#include "app/VorbelApplication.h"

#include "core/Endpoints.h"
#include "store/AssistantCatalogue.h"

namespace {
VorbelApplication* current = nullptr;
}

VorbelApplication::VorbelApplication(QObject* parent)
    : QObject(parent)
    , m_updater(std::make_unique<Updater>(Endpoints::updateFeed(), QStringLiteral(VORBEL_VERSION), m_network))
{
    Q_ASSERT(!current);
    current = this;
    m_updater->start();
}

VorbelApplication::~VorbelApplication()
{
    // Controllers go before the store they write to.
    m_controllers.reset();
    current = nullptr;
}

VorbelApplication& VorbelApplication::instance()
{
    Q_ASSERT(current);
    return *current;
}

DataController& VorbelApplication::dataController()
{
    if (!m_dataController)
        m_dataController = std::make_unique<DataController>();
    return *m_dataController;
}

ConversationControllerRegistry& VorbelApplication::conversationControllers()
{
    if (!m_controllers)
        m_controllers = std::make_unique<ConversationControllerRegistry>(viewContext());
    return *m_controllers;
}

void VorbelApplication::mainWindowShown()
{
    Q_EMIT catalogueRefreshStarted();
    refreshAssistantCatalogue(viewContext(), m_network, Endpoints::catalogueBase(),
                              [this] { Q_EMIT catalogueRefreshed(); });
}

MainWindowServices VorbelApplication::mainWindowServices()
{
    return MainWindowServices{viewContext(), m_uiState, *m_updater, [this] { mainWindowShown(); }};
}
