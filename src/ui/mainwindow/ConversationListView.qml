pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.MainWindow

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
            IconToolButton {
                objectName: "newConversationButton"
                text: qsTr("New Conversation")
                icon.name: "document-new"
                icon.source: Theme.icon("document-new")
                onClicked: root.controller.newConversation()
            }
        }

        TextField {
            id: searchField
            objectName: "searchField"
            Layout.fillWidth: true
            Layout.leftMargin: 8
            Layout.rightMargin: 8
            Layout.bottomMargin: 4
            placeholderText: qsTr("Search")
            placeholderTextColor: Theme.secondaryText
            color: Theme.text
            selectByMouse: true
            Accessible.name: qsTr("Search conversations")
            text: root.controller.searchText
            onTextEdited: root.controller.searchText = text
            Keys.onEscapePressed: event => {
                root.controller.searchText = ""
                list.forceActiveFocus()
            }
            Keys.onDownPressed: list.forceActiveFocus()
        }

        Shortcut {
            // Qt 6.4's qmllint cannot see the StandardKey value type.
            sequences: [StandardKey.Find] // qmllint disable unqualified
            onActivated: {
                searchField.forceActiveFocus()
                searchField.selectAll()
            }
        }

        ListView {
            id: list
            // The row whose title is being edited in place, or -1.
            property int renamingRow: -1
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
            // F2 renames the selected row; Shift+F10 or the Menu key opens its menu.
            Keys.onPressed: event => {
                if (event.key === Qt.Key_F2 && root.controller.selectedRow >= 0) {
                    list.renamingRow = root.controller.selectedRow
                    event.accepted = true
                } else if (currentItem && (event.key === Qt.Key_Menu || (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)))) {
                    event.accepted = true
                    currentItem.openContextMenu()
                }
            }

            delegate: SidebarRow {
                id: row
                required property int index
                required property var model
                objectName: "conversationRow_" + index
                // Taller with a larger system font, never shorter than the house row.
                height: Math.max(56, implicitHeight)
                highlighted: index === root.controller.selectedRow
                readonly property bool renaming: list.renamingRow === index
                text: model.title
                Accessible.name: model.title
                Accessible.description: (root.controller.searching ? model.snippet.replace(/<[^>]*>/g, "") : model.subtitle) ?? ""
                contentItem: ProfilePictureView {
                    name: row.model.title
                    url: row.model.profilePictureUrl
                    subHeadline: (root.controller.searching && row.model.snippet ? row.model.snippet : row.model.subtitle) ?? ""
                    subHeadlineIsSnippet: root.controller.searching && !!row.model.snippet
                    subHeadlineOneLine: true
                    opacity: row.renaming ? 0 : 1
                }

                // The title editor opens in the row: Return stores, Escape
                // cancels, an empty title brings back the automatic one. A
                // Repeater rather than a Loader: Qt 6.4's Loader cannot make a
                // bound component.
                Repeater {
                    model: row.renaming ? 1 : 0
                    TextField {
                        objectName: "renameField"
                        anchors.fill: parent
                        anchors.margins: 8
                        anchors.leftMargin: 56
                        text: row.model.conversationTitle || ""
                        placeholderText: row.model.title ?? ""
                        placeholderTextColor: Theme.secondaryText
                        color: Theme.text
                        selectByMouse: true
                        Accessible.name: qsTr("Title")
                        Component.onCompleted: {
                            forceActiveFocus()
                            selectAll()
                        }
                        Keys.onReturnPressed: finish(true)
                        Keys.onEnterPressed: finish(true)
                        Keys.onEscapePressed: finish(false)
                        onActiveFocusChanged: if (!activeFocus && row.renaming) finish(false)
                        function finish(store) {
                            const title = text
                            const at = row.index
                            list.renamingRow = -1
                            if (store)
                                root.controller.renameConversationAt(at, title)
                            list.forceActiveFocus()
                        }
                    }
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
                    property bool renameChosen: false
                    // The editor opens once the menu has given the focus back, or it would lose it at once.
                    // Qt 6.4's qmllint takes callLater for a property, hence the disable below.
                    onClosed: {
                        if (renameChosen)
                            Qt.callLater(() => list.renamingRow = row.index) // qmllint disable type
                        renameChosen = false
                    }
                    MenuItem {
                        objectName: "renameMenuItem"
                        text: qsTr("Rename…")
                        onTriggered: contextMenu.renameChosen = true
                    }
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
