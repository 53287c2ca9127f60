pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// The assistants tab: the list on the left with its add and remove buttons;
// on the right the form of the selected assistant, or the form for a new one.
RowLayout {
    id: root
    required property AssistantEditorController editor
    property string faqAddress
    property bool active: true
    readonly property bool hasSelection: editor.selectedRow >= 0

    spacing: 20

    ColumnLayout {
        Layout.preferredWidth: 200
        Layout.minimumWidth: 200
        Layout.maximumWidth: 200
        Layout.fillHeight: true
        spacing: 0

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.sidebar
            border.color: Theme.separator

            ListView {
                id: list
                objectName: "assistantList"
                anchors.fill: parent
                anchors.margins: 1
                clip: true
                focus: true
                activeFocusOnTab: true
                keyNavigationEnabled: false
                model: root.editor.assistants
                currentIndex: root.editor.selectedRow
                Accessible.role: Accessible.List
                Accessible.name: qsTr("Assistants")
                ScrollBar.vertical: ScrollBar {}

                Keys.onUpPressed: root.editor.selectAdjacent(-1)
                Keys.onDownPressed: root.editor.selectAdjacent(1)
                // Shift+F10 or the Menu key: the selected row's menu.
                Keys.onPressed: event => {
                    if (currentItem && (event.key === Qt.Key_Menu || (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)))) {
                        event.accepted = true
                        currentItem.openContextMenu()
                    }
                }

                delegate: SidebarRow {
                    id: row
                    required property int index
                    required property var model
                    objectName: "assistantRow_" + index
                    highlighted: index === root.editor.selectedRow
                    text: model.title
                    Accessible.name: model.title
                    contentItem: ProfilePictureView {
                        name: row.model.title
                        url: row.model.profilePictureUrl
                        subHeadline: row.model.subtitle
                        subHeadlineColor: Theme.text
                        alignTop: true
                    }

                    onClicked: {
                        root.editor.select(index)
                        list.forceActiveFocus()
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
                        objectName: "assistantContextMenu"
                        MenuItem {
                            objectName: "deleteAssistantMenuItem"
                            text: qsTr("Delete")
                            Accessible.name: text
                            onTriggered: root.editor.deleteAt(row.index)
                        }
                    }
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: buttons.implicitHeight
            color: Theme.sidebar
            border.color: Theme.separator

            Row {
                id: buttons
                IconToolButton {
                    objectName: "plusButton"
                    text: qsTr("New assistant")
                    enabled: root.hasSelection
                    icon.name: "list-add"
                    icon.source: Theme.icon("settings-add")
                    icon.color: enabled ? Theme.text : Theme.secondaryText
                    icon.width: 16
                    icon.height: 16
                    onClicked: root.editor.select(-1)
                }
                Rectangle {
                    width: 1
                    height: parent.height
                    color: Theme.separator
                }
                IconToolButton {
                    objectName: "minusButton"
                    text: qsTr("Remove assistant")
                    enabled: root.hasSelection
                    icon.name: "list-remove"
                    icon.source: Theme.icon("settings-remove")
                    icon.color: enabled ? Theme.text : Theme.secondaryText
                    icon.width: 16
                    icon.height: 16
                    onClicked: root.editor.deleteSelected()
                }
            }
        }
    }

    AssistantFormView {
        id: addForm
        objectName: "addAssistantForm"
        Layout.fillWidth: true
        Layout.preferredWidth: 0 // the rest of the row, whatever the texts
        Layout.fillHeight: true
        visible: !root.hasSelection
        editor: root.editor
        faqAddress: root.faqAddress
        prefix: "add"
        title: qsTr("Add new assistant")
        buttonText: qsTr("Add assistant")
        onSubmitted: {
            if (root.editor.add(name, personality, pictureUrl))
                fill("", "", "")
        }
    }

    AssistantFormView {
        id: updateForm
        objectName: "updateAssistantForm"
        Layout.fillWidth: true
        Layout.preferredWidth: 0
        Layout.fillHeight: true
        visible: root.hasSelection
        editor: root.editor
        faqAddress: root.faqAddress
        prefix: "update"
        title: qsTr("Update ") + name
        buttonText: qsTr("Update assistant")
        onSubmitted: root.editor.updateSelected(name, personality, pictureUrl)

        Connections {
            target: root.editor
            function onSelectedAssistantChanged() {
                updateForm.fill(root.editor.selectedName, root.editor.selectedPersonality,
                                root.editor.selectedPictureUrl)
            }
        }
    }

    // Delete while the tab is showing; a text field keeps the key for itself.
    Shortcut {
        // Qt 6.4's qmllint cannot see the StandardKey value type.
        sequences: [StandardKey.Delete] // qmllint disable unqualified
        enabled: root.active && root.hasSelection
        onActivated: root.editor.deleteSelected()
    }
}
