import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Conversation
import Vorbel.Ui.Welcome
import Vorbel.Ui.MainWindow

// The main window's content: the store warning, then the conversation list
// beside the selected conversation or the new-conversation form.
Item {
    id: root
    required property MainWindowController controller

    // The window's Delete command; a text field that has the focus keeps its own Delete.
    Shortcut {
        // Qt 6.4's qmllint cannot see the StandardKey value type.
        sequences: [StandardKey.Delete] // qmllint disable unqualified
        enabled: !root.controller.needsApiKey
        onActivated: root.controller.deleteSelectedConversation()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        // Under the cover nothing takes the keyboard: Tab stays among the cover's controls.
        enabled: !root.controller.needsApiKey

        Rectangle {
            objectName: "storeWarningBar"
            visible: !root.controller.storeIsPersistent
            Layout.fillWidth: true
            implicitHeight: warning.implicitHeight + 16
            color: Theme.error

            Label {
                id: warning
                anchors.fill: parent
                anchors.margins: 8
                text: root.controller.storeWarning
                textFormat: Text.PlainText
                color: Theme.onError
                wrapMode: Text.Wrap
                Accessible.role: Accessible.AlertMessage
                Accessible.name: text
            }
        }

        Rectangle {
            objectName: "exportErrorBar"
            visible: root.controller.exportError.length > 0
            Layout.fillWidth: true
            implicitHeight: exportError.implicitHeight + 16
            color: Theme.error

            Label {
                id: exportError
                anchors.fill: parent
                anchors.margins: 8
                text: root.controller.exportError
                textFormat: Text.PlainText
                color: "white"
                wrapMode: Text.Wrap
                Accessible.role: Accessible.AlertMessage
                Accessible.name: text
            }
        }

        SplitView {
            Layout.fillWidth: true
            Layout.fillHeight: true
            orientation: Qt.Horizontal
            // A hairline to look at, a few pixels to grab.
            handle: Item {
                implicitWidth: 5
                Rectangle {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: 1
                    height: parent.height
                    color: Theme.separator
                }
            }

            ConversationListView {
                SplitView.preferredWidth: 260
                SplitView.minimumWidth: 200
                controller: root.controller
                onRowClicked: conversationView.focusPrompt()
            }

            Item {
                SplitView.fillWidth: true
                SplitView.minimumWidth: 360

                ConversationPage {
                    id: conversationView
                    anchors.fill: parent
                    visible: root.controller.showsConversation
                    conversation: root.controller.conversationView
                    assistantName: root.controller.selectedAssistantName
                }
                NewConversationView {
                    anchors.fill: parent
                    visible: !root.controller.showsConversation
                    controller: root.controller
                }
            }
        }
    }

    // Until an API key is stored, the welcome screen covers everything.
    WelcomeView {
        objectName: "welcomeView"
        anchors.fill: parent
        visible: root.controller.needsApiKey
    }
}
