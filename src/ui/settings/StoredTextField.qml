import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Settings

// A text field bound to one text setting: shows what is stored, and stores
// every edit at once.
TextField {
    required property string settingKey
    text: (StoredSettings.revision >= 0 ? StoredSettings.text(settingKey) : "")
    onTextEdited: StoredSettings.setText(settingKey, text)
}
