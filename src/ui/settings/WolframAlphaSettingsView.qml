import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common

// The Wolfram Alpha panel of the extensions tab.
ColumnLayout {
    spacing: 4

    Label {
        text: qsTr("Wolfram Alpha App ID:")
        color: Theme.text
    }
    StoredTextField {
        objectName: "wolframAppIdField"
        Layout.fillWidth: true
        settingKey: "woframAlphaAppId"
        Accessible.name: qsTr("Wolfram Alpha App ID:")
    }
    SettingsNote {
        Layout.fillWidth: true
        text: qsTr("App ID is required for the Wolfram Alpha integration")
    }
}
