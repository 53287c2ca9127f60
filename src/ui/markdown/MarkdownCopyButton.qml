import QtQuick
import QtQuick.Controls
import Vorbel.Ui.Common

// The clipboard button beside a code block or table; `text` is its label and
// accessible name. After a click it says "Copied" for a moment.
IconToolButton {
    id: button
    property string copyText
    property color iconColor
    property bool copied: false

    padding: 4
    icon.name: copied ? "" : "edit-copy"
    icon.source: copied ? Theme.icon("copy-done") : Theme.icon("edit-copy")
    icon.color: iconColor
    icon.width: 16
    icon.height: 16
    ToolTip.visible: hovered || copied
    ToolTip.text: copied ? qsTr("Copied") : text
    ToolTip.delay: copied ? 0 : 400

    onClicked: {
        Clipboard.copy(copyText)
        copied = true
        copiedTimer.restart()
    }

    Timer {
        id: copiedTimer
        interval: 1500
        onTriggered: button.copied = false
    }
}
