pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Conversation

// The selected conversation: its toolbar (recipient, model, delete), the
// messages, and the prompt field with the stop button while a reply streams.
Rectangle {
    id: root
    required property ConversationViewController conversation
    required property string assistantName
    color: Theme.background

    readonly property bool stoppable: conversation.streaming || conversation.functionRunning

    // A conversation chosen with the mouse: its prompt takes the keyboard, as on a first show.
    function focusPrompt() {
        input.focusSoon()
    }

    // Escape stops the replies streaming and the functions running in this conversation.
    Shortcut {
        sequence: "Escape"
        enabled: root.visible && root.stoppable
        onActivated: root.conversation.stop()
    }

    Shortcut {
        sequence: "Ctrl+Shift+R"
        enabled: root.visible && root.conversation.canRegenerate
        onActivated: root.conversation.regenerate()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ToolBar {
            Layout.fillWidth: true
            background: Rectangle {
                color: Theme.background
                Rectangle {
                    anchors.bottom: parent.bottom
                    width: parent.width
                    height: 1
                    color: Theme.separator
                }
            }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 4
                spacing: 0

                Label {
                    text: qsTr("To: ")
                    color: Theme.secondaryText
                }
                Label {
                    objectName: "recipientLabel"
                    Layout.fillWidth: true
                    text: root.assistantName
                    textFormat: Text.PlainText
                    color: Theme.text
                    font.bold: true
                    elide: Text.ElideRight
                }
                ModelPicker {
                    objectName: "modelPicker"
                    Layout.rightMargin: 4
                    // A server may list long ids; the assistant's name keeps its room.
                    Layout.maximumWidth: 280
                    model: ModelChoices.names
                    currentIndex: ModelChoices.selectedIndex
                    ToolTip.text: qsTr("Model")
                    ToolTip.visible: hovered
                    onActivated: index => ModelChoices.selectedModel = ModelChoices.idAt(index)
                }
                IconToolButton {
                    objectName: "deleteConversationButton"
                    text: qsTr("Delete Conversation")
                    icon.name: "user-trash"
                    icon.source: Theme.icon("user-trash")
                    icon.color: Theme.secondaryText
                    onClicked: root.conversation.deleteConversation()
                }
            }
        }

        MessageList {
            id: messages
            Layout.fillWidth: true
            Layout.fillHeight: true
            controller: root.conversation
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.maximumWidth: 820
            Layout.alignment: Qt.AlignHCenter
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 16
            spacing: 8

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 4

                // While an own message is edited in the field below.
                RowLayout {
                    objectName: "editingBar"
                    visible: root.conversation.editingRow >= 0
                    Layout.fillWidth: true
                    Layout.leftMargin: 10
                    spacing: 8
                    Label {
                        Layout.fillWidth: true
                        text: qsTr("Editing message")
                        color: Theme.secondaryText
                        font.pointSize: Theme.fontSize
                    }
                    Button {
                        objectName: "cancelEditButton"
                        text: qsTr("Cancel")
                        flat: true
                        Accessible.name: text
                        onClicked: {
                            root.conversation.cancelEdit()
                            input.focusField()
                        }
                    }
                }

                InputFieldView {
                    id: input
                    Layout.fillWidth: true
                    maxHeight: Math.max(48, (root.Window.height || 600) / 3)
                    text: root.conversation.draft
                    onTextChanged: root.conversation.draft = text
                    editing: root.conversation.editingRow >= 0
                    onSubmitted: prompt => root.conversation.submit(prompt)
                    onPageRequested: direction => messages.scrollPage(direction)
                    onEndRequested: newest => messages.scrollToEnd(newest)
                    onEditNewestRequested: root.conversation.beginEditNewest()
                    onEditCancelled: root.conversation.cancelEdit()
                }

                // Replaced, not assigned, so the field keeps following the draft.
                Connections {
                    target: root.conversation
                    // An edit given up anywhere takes its text out of the field.
                    function onEditingChanged() {
                        if (root.conversation.editingRow < 0)
                            input.replaceText("")
                    }
                    function onEditStarted(text) {
                        input.replaceText(text)
                        input.focusField()
                    }
                }
            }
            IconToolButton {
                objectName: "stopButton"
                visible: root.stoppable
                text: qsTr("Stop")
                icon.name: "media-playback-stop"
                icon.source: Theme.icon("media-playback-stop")
                ToolTip.text: root.conversation.streaming ? qsTr("Stop generating (Esc)") : qsTr("Stop the function (Esc)")
                onClicked: root.conversation.stop()
            }
        }
    }
}
