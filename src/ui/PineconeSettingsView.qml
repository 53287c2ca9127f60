import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui

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
            required property var modelData
            Layout.fillWidth: true
            Layout.bottomMargin: 6
            spacing: 4

            Label {
                text: modelData.label
                color: Theme.text
            }
            StoredTextField {
                objectName: modelData.name
                Layout.fillWidth: true
                settingKey: modelData.key
                Accessible.name: modelData.label
            }
            SettingsNote {
                Layout.fillWidth: true
                text: modelData.note
            }
        }
    }
}
