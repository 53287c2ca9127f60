import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common

// The Pinecone panel of the extensions tab: the key, index and environment of
// the user's own index.
ColumnLayout {
    spacing: 4

    Repeater {
        model: [
            { name: "pineconeApiKeyField", key: "pineconeAPiKey", label: qsTr("API key:"),
              note: qsTr("API key is required for Pinecone integration") },
            { name: "pineconeIndexField", key: "pineconeIndex", label: qsTr("Index:"),
              note: qsTr("Name of index to be used") },
            { name: "pineconeEnvironmentField", key: "pineconeEnvironment", label: qsTr("Environment:"),
              note: qsTr("Name of environment to be used") }
        ]
        ColumnLayout {
            id: field
            required property var modelData
            Layout.fillWidth: true
            Layout.bottomMargin: 6
            spacing: 4

            Label {
                text: field.modelData.label
                color: Theme.text
            }
            StoredTextField {
                objectName: field.modelData.name
                Layout.fillWidth: true
                settingKey: field.modelData.key
                Accessible.name: field.modelData.label
            }
            SettingsNote {
                Layout.fillWidth: true
                text: field.modelData.note
            }
        }
    }
}
