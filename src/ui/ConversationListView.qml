import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui

// The sidebar: every conversation, newest first; the highlighted row is the
// shared selection.
Rectangle {
    id: root
    required property MainWindowController controller
    color: Theme.sidebar
    signal rowClicked()

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 12
            Layout.rightMargin: 4
            Layout.topMargin: 4
            Layout.bottomMargin: 4

            Label {
                Layout.fillWidth: true
                text: qsTr("Conversations")
                font.bold: true
                color: Theme.secondaryText
                Accessible.role: Accessible.Heading
            }
            ToolButton {
                objectName: "newConversationButton"
                text: qsTr("New Conversation")
                display: AbstractButton.IconOnly
                icon.name: "document-new"
                icon.source: "icons/document-new.svg"
                icon.color: Theme.text
                ToolTip.text: text
                ToolTip.visible: hovered
                Accessible.name: text
                onClicked: root.controller.newConversation()
            }
        }

        ListView {
            id: list
            objectName: "conversationList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            focus: true
            activeFocusOnTab: true
            keyNavigationEnabled: false
            model: root.controller.conversations
            currentIndex: root.controller.selectedRow
            Accessible.role: Accessible.List
            Accessible.name: qsTr("Conversations")

            Keys.onUpPressed: root.controller.selectAdjacent(-1)
            Keys.onDownPressed: root.controller.selectAdjacent(1)
            // Shift+F10 or the Menu key: the selected row's menu.
            Keys.onPressed: event => {
                if (currentItem && (event.key === Qt.Key_Menu || (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)))) {
                    event.accepted = true
                    currentItem.openContextMenu()
                }
            }

            delegate: ItemDelegate {
                id: row
                required property int index
                required property var model
                objectName: "conversationRow_" + index
                width: ListView.view.width
                // Taller with a larger system font, never shorter than the house row.
                height: Math.max(56, implicitHeight)
                padding: 8
                highlighted: index === root.controller.selectedRow
                text: model.title
                Accessible.name: model.subtitle ? model.title + ", " + model.subtitle : model.title

                // A tint rather than the solid highlight: the row's text keeps its colours.
                background: Rectangle {
                    color: row.highlighted ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.22)
                                           : row.hovered ? Qt.rgba(Theme.text.r, Theme.text.g, Theme.text.b, 0.05)
                                                         : "transparent"
                }
                contentItem: ProfilePictureView {
                    name: row.model.title
                    url: row.model.profilePictureUrl
                    subHeadline: row.model.subtitle
                }

                // A click means to read and write there: the prompt takes the
                // keyboard (the arrow keys, by contrast, stay in the list).
                onClicked: {
                    root.controller.selectRow(index)
                    root.rowClicked()
                }
                onPressAndHold: contextMenu.popup()
                function openContextMenu() {
                    contextMenu.popup(row, row.width / 4, row.height / 2)
                }

                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.RightButton
                    onClicked: contextMenu.popup()
                }

                Menu {
                    id: contextMenu
                    objectName: "rowContextMenu"
                    MenuItem {
                        objectName: "deleteMenuItem"
                        text: qsTr("Delete")
                        onTriggered: root.controller.deleteConversationAt(row.index)
                    }
                }
            }
        }
    }
}
