import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// The OpenAI tab: the keys, server address and model, each stored as it is
// edited, and the check of those against the server. The outcome of the last
// check is this view's own and never stored.
ColumnLayout {
    id: root
    property string faqAddress
    // undefined until a check ends; then true or false.
    property var valid: undefined
    // The last check passed without any key.
    property bool keyNotNeeded: false

    spacing: 8

    CredentialCheck {
        id: check
        onFinished: valid => root.valid = valid
        onAcceptedWithoutKey: root.keyNotNeeded = true
    }

    GridLayout {
        Layout.fillWidth: true
        columns: 2
        columnSpacing: 8
        rowSpacing: 8

        Label {
            text: qsTr("OpenAI API Key")
            color: Theme.text
            Layout.alignment: Qt.AlignRight
        }
        StoredTextField {
            id: apiKeyField
            objectName: "apiKeyField"
            Layout.fillWidth: true
            settingKey: "apiKey"
            Accessible.name: qsTr("OpenAI API Key")
            Accessible.description: keyNotNeededNote.visible ? keyNotNeededNote.text : ""
        }
        Item {
            visible: keyNotNeededNote.visible
            implicitWidth: 1
        }
        SettingsNote {
            id: keyNotNeededNote
            objectName: "keyNotNeededNote"
            visible: root.keyNotNeeded && apiKeyField.text === ""
            Layout.fillWidth: true
            text: qsTr("Not needed by this server")
        }

        Label {
            text: qsTr("OpenAI Org Key")
            color: Theme.text
            Layout.alignment: Qt.AlignRight
        }
        StoredTextField {
            objectName: "orgKeyField"
            Layout.fillWidth: true
            settingKey: "orgKey"
            Accessible.name: qsTr("OpenAI Org Key")
        }

        Label {
            text: qsTr("Server address")
            color: Theme.text
            Layout.alignment: Qt.AlignRight
        }
        TextField {
            id: serverAddress
            objectName: "serverAddressField"
            // The stored address; the field keeps an unusable one it was given
            // (with its note) without storing it.
            readonly property string stored: (StoredSettings.revision >= 0 ? StoredSettings.text("openAiBaseUrl") : "")
            Layout.fillWidth: true
            placeholderText: ServerAddressInput.defaultAddress
            inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
            Accessible.name: qsTr("Server address")
            Accessible.description: serverAddressNote.text
            Component.onCompleted: text = stored
            onStoredChanged: if (text.trim() !== stored) text = stored
            // Stored once complete: every stored address is asked for the
            // account's models, and a half-typed one must not receive the key.
            onEditingFinished: ServerAddressInput.store(text)
            Component.onDestruction: ServerAddressInput.store(text)
        }
        Item {
            visible: serverAddressNote.visible
            implicitWidth: 1
        }
        ServerAddressNote {
            id: serverAddressNote
            objectName: "serverAddressNote"
            Layout.fillWidth: true
            address: serverAddress.text
        }

        Label {
            text: qsTr("Model")
            color: Theme.text
            Layout.alignment: Qt.AlignRight
        }
        ModelPicker {
            objectName: "modelPicker"
            Layout.preferredWidth: 220
            model: ModelChoices.names
            currentIndex: ModelChoices.selectedIndex
            popup.palette.window: Theme.background
            onActivated: index => ModelChoices.selectedModel = ModelChoices.idAt(index)
        }
    }

    SettingsNote {
        objectName: "keysInPrivateFileNote"
        visible: StoredSettings.keysInPrivateFile
        Layout.fillWidth: true
        text: qsTr("No system keyring was found: keys are kept in a private file.")
    }

    RowLayout {
        Layout.topMargin: 10
        spacing: 12

        Button {
            id: validateButton
            objectName: "validateButton"
            text: qsTr("Validate")
            Accessible.name: text
            Accessible.description: check.checking ? qsTr("Checking") : root.valid === true ? qsTr("Valid")
                                  : root.valid === false ? qsTr("Not valid") : ""
            contentItem: Row {
                spacing: 0
                Item {
                    width: 16
                    height: 12
                    anchors.verticalCenter: parent.verticalCenter
                    visible: check.checking
                    BusyIndicator {
                        objectName: "validateBusy"
                        width: 12
                        height: 12
                        padding: 0
                        running: check.checking
                    }
                }
                ColorImage {
                    objectName: "invalidMark"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: root.valid === false
                    source: Theme.icon("settings-invalid")
                    color: Theme.error
                    sourceSize.width: 16
                    sourceSize.height: 16
                }
                ColorImage {
                    objectName: "validMark"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: root.valid === true
                    source: Theme.icon("settings-valid")
                    color: Theme.success
                    sourceSize.width: 16
                    sourceSize.height: 16
                }
                Item {
                    width: 4
                    height: 1
                    visible: root.valid !== undefined
                }
                Label {
                    anchors.verticalCenter: parent.verticalCenter
                    text: validateButton.text
                    color: Theme.text
                }
            }
            onClicked: {
                root.valid = undefined
                root.keyNotNeeded = false
                check.check(StoredSettings.text("apiKey"), StoredSettings.text("orgKey"), ModelChoices.selectedModel,
                            StoredSettings.text("openAiBaseUrl"))
            }
        }
        SettingsLink {
            objectName: "openAiLearnMoreLink"
            text: qsTr("Learn more")
            address: root.faqAddress
        }
    }

    Item {
        Layout.fillHeight: true
    }
}
