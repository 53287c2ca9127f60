import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// "Add tool server…": a name and either a command line or an address.
Dialog {
    id: dialog
    required property ExtensionListModel extensions
    signal added()

    objectName: "addToolServerDialog"
    title: qsTr("Add Tool Server")
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(480, parent ? parent.width - 40 : 480)
    modal: true
    standardButtons: Dialog.Ok | Dialog.Cancel
    // Opens empty; a refused entry reopens as it was, with the reason.
    function start() {
        nameField.text = ""
        commandField.text = ""
        addressField.text = ""
        refusal.text = ""
        open()
    }
    onOpened: nameField.forceActiveFocus()
    onAccepted: {
        const refused = extensions.addToolServer(nameField.text, commandField.text, addressField.text)
        if (refused !== "") {
            open()
            refusal.text = refused
            return
        }
        added()
    }

    GridLayout {
        anchors.fill: parent
        columns: 2
        columnSpacing: 8
        rowSpacing: 8

        Label { text: qsTr("Name"); color: Theme.text; Layout.alignment: Qt.AlignRight }
        TextField {
            id: nameField
            objectName: "toolServerNameField"
            Layout.fillWidth: true
            placeholderText: qsTr("files")
            Accessible.name: qsTr("Name")
        }
        Label { text: qsTr("Command line"); color: Theme.text; Layout.alignment: Qt.AlignRight }
        TextField {
            id: commandField
            objectName: "toolServerCommandField"
            Layout.fillWidth: true
            placeholderText: qsTr("npx -y @modelcontextprotocol/server-filesystem ~/notes")
            Accessible.name: qsTr("Command line")
        }
        Label { text: qsTr("or address"); color: Theme.text; Layout.alignment: Qt.AlignRight }
        TextField {
            id: addressField
            objectName: "toolServerAddressField"
            Layout.fillWidth: true
            placeholderText: qsTr("https://example.com/mcp")
            Accessible.name: qsTr("Address")
        }
        Item { implicitWidth: 1 }
        SettingsNote {
            id: refusal
            objectName: "addToolServerRefusal"
            Layout.fillWidth: true
            visible: text !== ""
            textFormat: Text.PlainText
            color: Theme.error
        }
    }
}
