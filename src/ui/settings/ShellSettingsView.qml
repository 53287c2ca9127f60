import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// The shell panel of the extensions tab: which shell runs the commands, and
// an optional template around them.
GridLayout {
    columns: 2
    columnSpacing: 8
    rowSpacing: 8

    Label {
        text: qsTr("Shell")
        color: Theme.text
        Layout.alignment: Qt.AlignRight
    }
    ComboBox {
        id: shellPicker
        objectName: "shellPicker"
        // The stored texts themselves; "bin/bash" is shown while nothing is stored.
        readonly property string shown: (StoredSettings.revision >= 0 ? StoredSettings.text("cliAppShell") : "") || "bin/bash"
        model: ["bin/bash", "bin/zsh"]
        currentIndex: model.indexOf(shown)
        Accessible.name: qsTr("Shell")
        popup.palette.window: Theme.background
        onActivated: index => StoredSettings.setText("cliAppShell", model[index])
    }

    Label {
        text: qsTr("Custom command")
        color: Theme.text
        Layout.alignment: Qt.AlignRight
    }
    StoredTextField {
        objectName: "shellCommandField"
        Layout.fillWidth: true
        settingKey: "cliAppCommand"
        Accessible.name: qsTr("Custom command")
    }

    Item {
        implicitWidth: 1
    }
    SettingsNote {
        objectName: "shellCommandNote"
        Layout.fillWidth: true
        textFormat: Text.StyledText
        text: qsTr("Use \"$0\" as variable for the command to be executed, e.g. \"%1\" to load a .zshrc config file.")
                  .arg("<tt>source $HOME/.zshrc &amp;&amp; $0</tt>")
    }
}
