import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// "Paste configuration…": the JSON other clients use, {"mcpServers": {...}}.
Dialog {
    id: dialog
    required property ExtensionListModel extensions

    objectName: "pasteConfigurationDialog"
    title: qsTr("Paste Configuration")
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(520, parent ? parent.width - 40 : 520)
    modal: true
    standardButtons: Dialog.Ok | Dialog.Cancel
    function start() {
        refusal.text = ""
        open()
    }
    onOpened: configurationArea.forceActiveFocus()
    onAccepted: {
        const refused = extensions.pasteConfiguration(configurationArea.text)
        if (refused !== "") {
            open()
            refusal.text = refused
            return
        }
        configurationArea.text = ""
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        ScrollView {
            Layout.fillWidth: true
            Layout.preferredHeight: 200
            TextArea {
                id: configurationArea
                objectName: "configurationArea"
                textFormat: TextEdit.PlainText
                font.family: "monospace"
                placeholderText: "{\"mcpServers\": {\"files\": {\"command\": \"npx\", \"args\": [\"-y\", \"…\"]}}}"
                wrapMode: TextEdit.Wrap
                Accessible.name: qsTr("Configuration")
            }
        }
        SettingsNote {
            id: refusal
            objectName: "pasteConfigurationRefusal"
            Layout.fillWidth: true
            visible: text !== ""
            textFormat: Text.PlainText
            color: Theme.error
        }
    }
}
