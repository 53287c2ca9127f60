import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common
import Vorbel.Ui.Settings

// The line under a "Server address" field: why the address cannot be used
// (in red), or that the key would travel to it unencrypted (in grey).
Label {
    required property string address
    readonly property bool refused: !ServerAddressInput.accepts(address)

    text: ServerAddressInput.note(address)
    visible: text !== ""
    color: refused ? Theme.error : Theme.secondaryText
    font.pointSize: Theme.fontSize
    wrapMode: Text.Wrap
    Accessible.name: text
}
