pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// The extensions tab: every extension with its state on the left, the
// selected one's details and settings on the right.
RowLayout {
    id: root
    objectName: "extensionsView"
    required property ExtensionListModel extensions
    property int selectedRow: 0
    // The revision is read first so the compiled binding follows every change to the list.
    readonly property var selected: (extensions.revision >= 0 ? extensions.extensionAt(selectedRow) : null)

    spacing: 20

    ColumnLayout {
        Layout.preferredWidth: 200
        Layout.minimumWidth: 200
        Layout.maximumWidth: 200
        Layout.fillHeight: true
        spacing: 8

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.sidebar
            border.color: Theme.separator

            ListView {
                id: list
                objectName: "extensionList"
                anchors.fill: parent
                anchors.margins: 1
                clip: true
                activeFocusOnTab: true
                keyNavigationEnabled: false
                model: root.extensions
                currentIndex: root.selectedRow
                Accessible.role: Accessible.List
                Accessible.name: qsTr("Extensions")

                Keys.onUpPressed: root.selectedRow = Math.max(0, root.selectedRow - 1)
                Keys.onDownPressed: root.selectedRow = Math.min(count - 1, root.selectedRow + 1)

                delegate: SidebarRow {
                    id: row
                    required property int index
                    required property string title
                    required property string stateText
                    objectName: "extensionRow_" + index
                    highlighted: index === root.selectedRow
                    text: title
                    Accessible.name: title + ", " + stateText
                    contentItem: Column {
                        spacing: 2
                        Label {
                            width: parent.width
                            text: row.title
                            textFormat: Text.PlainText
                            font.pointSize: Theme.fontSize * 7 / 6
                            font.weight: Font.DemiBold
                            color: Theme.text
                            elide: Text.ElideRight
                        }
                        Label {
                            objectName: "extensionState"
                            width: parent.width
                            text: row.stateText
                            textFormat: Text.PlainText
                            font.pointSize: Theme.fontSize
                            color: Theme.secondaryText
                        }
                    }
                    onClicked: {
                        root.selectedRow = index
                        list.forceActiveFocus()
                    }
                }
            }
        }

        Button {
            objectName: "addToolServerButton"
            Layout.fillWidth: true
            text: qsTr("Add tool server…")
            Accessible.name: text
            onClicked: addDialog.start()
        }
        Button {
            objectName: "pasteConfigurationButton"
            Layout.fillWidth: true
            text: qsTr("Paste configuration…")
            Accessible.name: text
            onClicked: pasteDialog.start()
        }
    }

    Item {
        Layout.fillWidth: true
        Layout.preferredWidth: 0
        Layout.fillHeight: true

        Label {
            objectName: "noExtensionLabel"
            anchors.centerIn: parent
            visible: root.selected.extensionId === undefined
            text: qsTr("Select a function.")
            color: Theme.secondaryText
        }

        ScrollView {
            anchors.fill: parent
            visible: root.selected.extensionId !== undefined
            contentWidth: availableWidth

            ColumnLayout {
                width: parent.width
                spacing: 8

                SettingsNote {
                    objectName: "toolServerFileError"
                    Layout.fillWidth: true
                    visible: text !== ""
                    text: root.extensions.toolServerFileError
                    textFormat: Text.PlainText
                    color: Theme.error
                }

                Label {
                    objectName: "extensionTitle"
                    Layout.fillWidth: true
                    text: root.selected.title ?? ""
                    textFormat: Text.PlainText
                    font.bold: true
                    font.pointSize: Theme.fontSize * 4 / 3
                    color: Theme.text
                    wrapMode: Text.Wrap
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Rectangle {
                    Layout.fillWidth: true
                    implicitHeight: 1
                    color: Theme.separator
                }
                CheckBox {
                    objectName: "extensionEnabledCheckBox"
                    text: qsTr("Enabled")
                    checked: root.selected.enabled ?? false
                    Accessible.name: text
                    onToggled: root.extensions.setEnabled(root.selectedRow, checked)
                }
                Label {
                    objectName: "extensionDescription"
                    Layout.fillWidth: true
                    text: root.selected.description ?? ""
                    textFormat: Text.PlainText
                    color: Theme.text
                    wrapMode: Text.Wrap
                }
                Label {
                    objectName: "confirmationNote"
                    Layout.fillWidth: true
                    Layout.topMargin: 2
                    visible: root.selected.needsConfirmation === true
                    text: qsTr("Assistant will ask for confirmation before running this custom function.")
                    font.pointSize: Theme.fontSize
                    color: Theme.secondaryText
                    wrapMode: Text.Wrap
                }
                ToolServerDetails {
                    objectName: "toolServerDetails"
                    Layout.fillWidth: true
                    visible: root.selected.isToolServer === true
                    server: root.selected
                    onAskToggled: ask => root.extensions.setAskBeforeCall(root.selectedRow, ask)
                    onReconnectClicked: root.extensions.reconnect(root.selectedRow)
                    onRemoveClicked: {
                        root.extensions.remove(root.selectedRow)
                        root.selectedRow = 0
                    }
                }
                Rectangle {
                    Layout.fillWidth: true
                    Layout.topMargin: 8
                    implicitHeight: 1
                    color: Theme.separator
                    visible: panel.active
                }
                Loader {
                    id: panel
                    objectName: "extensionPanel"
                    Layout.fillWidth: true
                    Layout.topMargin: 8
                    active: (root.selected.panel ?? "") !== ""
                    source: active ? root.selected.panel : ""
                }
            }
        }
    }

    AddToolServerDialog {
        id: addDialog
        extensions: root.extensions
        onAdded: root.selectedRow = root.extensions.rowCount() - 1
    }
    PasteConfigurationDialog {
        id: pasteDialog
        extensions: root.extensions
    }
}
