#pragma once

#include <functional>

class ConversationControllerRegistry;
class StoreContext;
class UiState;
class UpdateChecker;

// What a main window needs from the application that owns it. The application
// object sits above the windows, so it hands these down rather than the
// windows reaching up to it.
struct MainWindowServices {
    StoreContext& store;
    UiState& uiState;
    UpdateChecker& updater;
    ConversationControllerRegistry& conversationControllers; // turns outlive windows
    std::function<void()> windowShown;                       // every shown window refreshes the catalogue
    std::function<void()> openWindow;                        // "New Window"
};
