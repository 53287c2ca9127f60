import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common

// A link in the settings: opens a web address in the browser.
Button {
    id: link
    property string address
    flat: true
    padding: 2
    Accessible.name: text
    Accessible.role: Accessible.Link
    contentItem: Label {
        text: link.text
        color: Theme.link
        font.underline: link.hovered || link.visualFocus
    }
    background: Item {}
    onClicked: ExternalLinks.open(address)
}
