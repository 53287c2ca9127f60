import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui

// One row of the message list: the bubble, pushed to the trailing side for the
// user's own messages, with the function-call block under its text.
Item {
    id: root
    required property ConversationViewController controller
    required property int index
    required property var model
    property real columnWidth: width

    readonly property bool own: model.isOwn
    readonly property color textColor: own ? "white" : Theme.text
    readonly property real maxBubbleWidth: Math.max(120, columnWidth * 0.75)

    objectName: "message_" + index
    implicitHeight: bubble.height

    Rectangle {
        id: bubble
        objectName: "bubble"
        readonly property real padding: root.model.bubbleless ? 0 : 10
        anchors.right: root.own ? parent.right : undefined
        anchors.left: root.own ? undefined : parent.left
        width: Math.min(root.maxBubbleWidth, Math.max(content.implicitWidth, 24) + 2 * padding)
        height: content.implicitHeight + 2 * padding
        radius: 16
        color: root.model.bubbleless ? "transparent" : root.own ? Theme.ownMessage : Theme.assistantMessage

        ColumnLayout {
            id: content
            x: bubble.padding
            y: bubble.padding
            width: bubble.width - 2 * bubble.padding
            spacing: 8

            MessageText {
                objectName: "messageText"
                visible: root.model.text.length > 0
                maxWidth: root.maxBubbleWidth - 2 * bubble.padding
                markdown: root.model.text
                color: root.textColor
                linkColor: root.own ? "white" : Theme.accent
            }
            Label {
                objectName: "messagePlaceholder"
                visible: root.model.showsPlaceholder
                text: "..."
                color: root.textColor
            }
            Loader {
                active: root.model.hasFunction
                visible: active
                Layout.fillWidth: true
                Layout.preferredWidth: root.maxBubbleWidth - 2 * bubble.padding
                sourceComponent: FunctionExecutionView {
                    controller: root.controller
                    row: root.index
                    preview: root.model.functionPreview
                    command: root.model.functionCommand
                    title: root.model.functionTitle
                    automatic: root.model.functionIsAutomatic
                    running: root.model.functionRunning
                    awaitsConfirmation: root.model.awaitsConfirmation
                    resultText: root.model.functionResultText
                    textColor: root.own ? "white" : Theme.text
                }
            }
        }

        // Only the right button: the left one selects text and presses buttons.
        TapHandler {
            acceptedButtons: Qt.RightButton
            onTapped: contextMenu.popup()
        }

        Menu {
            id: contextMenu
            objectName: "messageContextMenu"
            MenuItem {
                objectName: "copyMessageItem"
                text: qsTr("Copy")
                Accessible.name: text
                onTriggered: Clipboard.copy(root.model.text)
            }
        }
    }
}
