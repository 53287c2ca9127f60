import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui

// The selected conversation. So far its toolbar: who it is with, and delete.
Rectangle {
    id: root
    required property MainWindowController controller
    color: Theme.background

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
                    text: root.controller.selectedAssistantName
                    color: Theme.text
                    font.bold: true
                    elide: Text.ElideRight
                }
                ToolButton {
                    objectName: "deleteConversationButton"
                    text: qsTr("Delete Conversation")
                    display: AbstractButton.IconOnly
                    icon.name: "user-trash"
                    icon.source: "icons/user-trash.svg"
                    icon.color: Theme.text
                    ToolTip.text: text
                    ToolTip.visible: hovered
                    Accessible.name: text
                    onClicked: root.controller.deleteSelectedConversation()
                }
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
