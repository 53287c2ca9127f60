import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common
import Vorbel.Ui.MainWindow

ApplicationWindow {
    id: window
    objectName: "mainWindow"
    required property MainWindowController controller

    title: "Vorbel"
    minimumWidth: 720
    minimumHeight: 480
    color: Theme.background
    // The controls draw with the house colours, which follow the system's light or dark look.
    palette.window: Theme.sidebar
    palette.windowText: Theme.text
    palette.base: Theme.background
    palette.alternateBase: Theme.sidebar
    palette.text: Theme.text
    palette.button: Theme.sidebar
    palette.buttonText: Theme.text
    palette.highlight: Theme.accent
    palette.highlightedText: "white"
    palette.placeholderText: Theme.secondaryText
    palette.toolTipBase: Theme.assistantMessage
    palette.toolTipText: Theme.text

    menuBar: MenuBar {
        objectName: "menuBar"
        Accessible.name: qsTr("Menu bar")
        // Screen readers get each item's label (the menu titles without their
        // mnemonic mark); the controls leave the items of menus built from
        // actions unnamed.
        delegate: MenuBarItem {
            Accessible.name: menu ? menu.title.replace("&", "") : ""
        }
        Menu {
            objectName: "fileMenu"
            delegate: MenuItem {
                Accessible.name: text
            }
            title: qsTr("&File")
            Action {
                objectName: "newConversationAction"
                text: qsTr("New Conversation")
                shortcut: "Ctrl+N"
                enabled: !window.controller.needsApiKey
                onTriggered: window.controller.newConversation()
            }
            Action {
                objectName: "newWindowAction"
                text: qsTr("New Window")
                shortcut: "Ctrl+Shift+N"
                onTriggered: window.controller.openNewWindow()
            }
            MenuSeparator {}
            Action {
                objectName: "exportConversationAction"
                text: qsTr("Export Conversation…")
                shortcut: "Ctrl+Shift+E"
                enabled: window.controller.showsConversation
                onTriggered: window.controller.exportConversation()
            }
            Action {
                objectName: "copyConversationAction"
                text: qsTr("Copy Conversation as Markdown")
                enabled: window.controller.showsConversation
                onTriggered: window.controller.copyConversationAsMarkdown()
            }
            MenuSeparator {}
            Action {
                objectName: "settingsAction"
                text: qsTr("Settings…")
                shortcut: "Ctrl+,"
                onTriggered: window.controller.openSettings()
            }
            MenuSeparator {}
            Action {
                objectName: "quitAction"
                text: qsTr("Quit")
                shortcut: "Ctrl+Q"
                onTriggered: window.controller.quit()
            }
        }
        // Without an update feed there is nothing to check, and the menu would be empty.
        Component.onCompleted: if (!window.controller.updatesConfigured) removeMenu(helpMenu)
        Menu {
            id: helpMenu
            objectName: "helpMenu"
            delegate: MenuItem {
                Accessible.name: text
            }
            title: qsTr("&Help")
            Action {
                objectName: "checkForUpdatesAction"
                text: "Check for Updates…"
                enabled: window.controller.canCheckForUpdates
                onTriggered: window.controller.checkForUpdates()
            }
        }
    }

    ContentView {
        anchors.fill: parent
        controller: window.controller
    }

    Dialog {
        id: updateDialog
        objectName: "updateDialog"
        title: qsTr("Check for Updates")
        anchors.centerIn: parent
        modal: true
        standardButtons: Dialog.Ok

        Label {
            id: updateText
            objectName: "updateText"
            width: Math.min(implicitWidth, 420)
            wrapMode: Text.Wrap
            textFormat: Text.RichText
            onLinkActivated: link => ExternalLinks.open(link)
        }
    }

    Connections {
        target: window.controller
        function onUpdateCheckFinished(text) {
            updateText.text = text
            updateDialog.open()
        }
    }
}
